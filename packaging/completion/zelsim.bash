# bash completion for zelsim                                 -*- shell-script -*-

_zelsim()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        -p | --port | --versions | --cut-answers | --latency | --jitter | --restart-ms | --lan-after-update)
            return ;;
        --after-update)
            COMPREPLY=($(compgen -W "new old never" -- "$cur"))
            return ;;
        -s | --status)
            COMPREPLY=($(compgen -W "85 90" -- "$cur"))
            return ;;
    esac
    COMPREPLY=($(compgen -W "-p --port -s --status --versions --cut-answers --latency --jitter --restart-ms --after-update --lan-after-update -h --help --help-all -v --version" -- "$cur"))
} &&
    complete -F _zelsim zelsim

# ex: filetype=sh
