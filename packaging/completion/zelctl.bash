# bash completion for zelctl                                 -*- shell-script -*-

_zelctl()
{
    local cur prev words cword
    _init_completion -n = || return

    local commands="status list copy decode screenshot slots update doctor"
    local global="--device --simulator --latency --jitter --json --timeout --wait --help --version"

    # The command is the first word that is neither an option nor the value
    # of an option that takes one.
    local i command="" sub=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --device | --timeout | --wait | --latency | --jitter | --verify-timeout) ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                elif [[ $command == slots && -z $sub ]]; then
                    sub=${words[i]}
                fi
                ;;
        esac
    done

    case $prev in
        --device | --timeout | --latency | --jitter | --verify-timeout | --name | --area | --every | --count)
            return ;;
        -o | --output)
            if [[ $command == copy ]]; then
                _filedir -d
            else
                _filedir
            fi
            return ;;
        --preset)
            COMPREPLY=($(compgen -W "full-vga full-wvga diagram-vga diagram-wvga" -- "$cur"))
            return ;;
        --frame-colour | --frame-color)
            COMPREPLY=($(compgen -W "black white red green blue yellow" -- "$cur"))
            return ;;
        --target)
            COMPREPLY=($(compgen -W "pocket lan" -- "$cur"))
            return ;;
        --rate)
            COMPREPLY=($(compgen -W "40960 81920 122880 163840" -- "$cur"))
            return ;;
        --layout)
            COMPREPLY=($(compgen -W "4096 256" -- "$cur"))
            return ;;
    esac

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$global" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    # The shared options may follow the command as well.
    local options="--help --json --device --simulator --latency --jitter --timeout"
    case $command in
        copy) options+=" --all --new -o --output --raw --name --overwrite" ;;
        decode) options+=" --rate --layout -o --output" ;;
        screenshot) options+=" -o --output --preset --area --frame-colour --frame-color --crop --every --count" ;;
        slots)
            if [[ -z $sub ]]; then
                [[ $cur != -* ]] && COMPREPLY=($(compgen -W "read write diff clear" -- "$cur")) && return
            fi
            case $sub in
                read) options+=" -o --output" ;;
                write) options+=" --no-backup --only-changed" ;;
                clear) options+=" --yes" ;;
            esac
            ;;
        update) options+=" --target --yes --dry-run --verify-timeout --no-verify" ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case $command in
        decode) _filedir '@(HEX|hex)' ;;
        update) _filedir '@(RPD|rpd|BIN|bin)' ;;
        slots)
            if [[ $sub == write ]]; then
                _filedir '@(Mem|mem|MEM|csv|CSV)'
            elif [[ $sub == diff ]]; then
                _filedir '@(Mem|mem|MEM|csv|CSV)'
                COMPREPLY+=($(compgen -W "device" -- "$cur"))
            fi
            ;;
    esac
} &&
    complete -F _zelctl zelctl

# ex: filetype=sh
