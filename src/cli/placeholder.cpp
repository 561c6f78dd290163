namespace kelmira {}
