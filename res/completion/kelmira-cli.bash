# bash completion for kelmira-cli: its commands, each command's options and their values,
# and file names by what the command reads.

_kelmira_cli() {
    local cur prev words cword
    _init_completion || return

    local images='jpg|jpeg|png|bmp|tif|tiff|pcx|tga'
    local videos='mp4|mov|m4v|mkv|avi|webm|mts|3gp'
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W 'unwarp info simulate movie sphere web video find-ring movdump panorama --help --version' \
            -- "$cur"))
        return
    fi

    local command=${words[1]}
    case $prev in
        --out-dir)
            _filedir -d
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'jpg tif bmp' -- "$cur"))
            return
            ;;
        --centre)
            [[ $command == simulate ]] || COMPREPLY=($(compgen -W 'auto' -- "$cur"))
            return
            ;;
        --ring-radius)
            COMPREPLY=($(compgen -W 'auto' -- "$cur"))
            return
            ;;
        --codec)
            COMPREPLY=($(compgen -W 'jpeg cinepak sorenson' -- "$cur"))
            return
            ;;
        --correction)
            COMPREPLY=($(compgen -W 'none partial full' -- "$cur"))
            return
            ;;
        --quality)
            [[ $command == movie ]] &&
                COMPREPLY=($(compgen -W 'minimum low normal high maximum lossless' -- "$cur"))
            return
            ;;
        --movie)
            _filedir mov
            return
            ;;
        --preset)
            COMPREPLY=($(compgen -W 'ultrafast superfast veryfast faster fast medium slow slower veryslow placebo' \
                -- "$cur"))
            return
            ;;
        --mirror)
            _filedir 'txt|yaml|yml|xml'
            return
            ;;
        --rig)
            COMPREPLY=($(compgen -W 'camera-below camera-above' -- "$cur"))
            return
            ;;
        --jobs | --size | --view | --title | --inner-radius | --width | --crf | --start | --duration)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        local options='--help'
        case $command in
            unwarp) options+=' --out-dir --format --jobs --force --centre --ring-radius --lens-thread --mirror --rig
                --inner-radius --movie' ;;
            sphere) options+=' --out-dir --jobs --force --centre --ring-radius --lens-thread --mirror --rig --inner-radius
                --quality' ;;
            web) options+=' --centre --ring-radius --lens-thread --mirror --rig --inner-radius --quality --title' ;;
            info) options+=' --mirror --rig' ;;
            video) options+=' --out-dir --jobs --centre --ring-radius --lens-thread --mirror --rig --inner-radius --width --crf --preset --start --duration' ;;
            movie) options+=' --codec --quality --view --correction' ;;
            panorama) options+=' --out-dir --format --jobs --force' ;;
            simulate) options+=' --size --centre' ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    case $command in
        movdump) _filedir mov ;;
        panorama) _filedir "mov|$images" ;;
        sphere) _filedir "mov|$images" ;;
        web) _filedir "mov|$images|html|htm" ;;
        video) _filedir "$videos" ;;
        *) _filedir "$images" ;;
    esac
} &&
    complete -F _kelmira_cli kelmira-cli
