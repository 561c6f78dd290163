# bash completion for kelmira: a round photograph or mirror video to open, or --help and --version.

_kelmira() {
    local cur prev words cword
    _init_completion || return
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
        return
    fi
    _filedir 'jpg|jpeg|png|bmp|tif|tiff|pcx|tga|mp4|mov|m4v|mkv|avi|webm|mts|3gp'
} &&
    complete -F _kelmira kelmira
