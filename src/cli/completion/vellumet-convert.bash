# bash completion for vellumet-convert                            -*- shell-script -*-
# Completes the options (as --help lists them), device names (as --list-devices prints them) and
# the inputs it reads: presentations, and folders of slide pictures. Needs bash-completion.

# The options of the program $1: every option on the option lines of its --help.
_vellumet_convert_options()
{
    LC_ALL=C "$1" --help 2>/dev/null |
        sed -n -e 's/^[[:space:]]*-/ -/p' |
        grep -oE '(^|[[:space:],|])--?[[:alnum:]][[:alnum:]-]*' |
        sed -e 's/^[[:space:],|]*//' | sort -u
}

# The device names of the program $1: the text before the first run of two or more spaces.
_vellumet_convert_devices()
{
    "$1" --list-devices 2>/dev/null | sed -e 's/  .*$//'
}

_vellumet_convert()
{
    # shellcheck disable=SC2034 # _init_completion sets all five; its helpers read words and cword
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -d | --device)
            # Names hold spaces and parentheses: match what was typed without its quoting, and let
            # readline quote the chosen name as it quotes file names.
            local typed=${cur#[\"\']} device restore
            typed=${typed//\\/}
            restore=$(shopt -p nocasematch)
            shopt -s nocasematch
            COMPREPLY=()
            while IFS= read -r device; do
                [[ $device == "$typed"* ]] && COMPREPLY+=("$device")
            done < <(_vellumet_convert_devices "$1")
            $restore
            compopt -o filenames
            return
            ;;
        -o | --output-dir)
            _filedir -d
            return
            ;;
        --palette)
            mapfile -t COMPREPLY < <(compgen -W "rgb gray gray16" -- "$cur")
            return
            ;;
        --dither)
            mapfile -t COMPREPLY < <(compgen -W "ordered none" -- "$cur")
            return
            ;;
        --page-size | -h | --help | --version | --list-devices)
            return
            ;;
    esac

    $split && return

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_vellumet_convert_options "$1")" -- "$cur")
        return
    fi

    # Presentations of the kinds the desktop entry declares, and folders (of slide pictures).
    _filedir '@(ppt|pps|pot|pptx|ppsx|potx|pptm|ppsm|potm|odp|otp|fodp|sxi|sti)'
} &&
    complete -F _vellumet_convert vellumet-convert

# ex: filetype=sh
