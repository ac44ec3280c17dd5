# bash completion for zelsim                                 -*- shell-script -*-

_zelsim()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        -p | --port | --versions | --cut-answers)
            return ;;
        -s | --status)
            COMPREPLY=($(compgen -W "85 90" -- "$cur"))
            return ;;
    esac
    COMPREPLY=($(compgen -W "-p --port -s --status --versions --cut-answers -h --help --help-all -v --version" -- "$cur"))
} &&
    complete -F _zelsim zelsim

# ex: filetype=sh
