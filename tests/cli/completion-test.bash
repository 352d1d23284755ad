#!/usr/bin/env bash
# Loads the bash completion of vellumet-convert the way bash-completion does and asks it what it
# offers on typical command lines; checks that the zsh completion knows the same options.
# Usage: completion-test.bash PROGRAM BASH-COMPLETION ZSH-COMPLETION DESKTOP-ENTRY
# Run it in a throwaway HOME: the program reads the dialog's remembered choices.
set -o pipefail  # not -u: bash-completion's functions read unset variables

program=$1
bash_completion=$2
zsh_completion=$3
desktop_entry=$4

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion || { echo "FAIL: bash-completion is missing" >&2; exit 1; }
# shellcheck source=/dev/null
source "$bash_completion"
# compopt works only while readline is completing; here it records what was asked.
compopt() { completion_options+=" $*"; }

# offers LINE WORD...: runs the completion for the command line LINE, split into WORDs as readline
# splits it (the last word is the one being completed), and leaves the sorted offers in $offers.
# LINE and the first WORD say "p" for the program.
offers() {
    COMP_LINE=$program${1#p}
    shift
    COMP_WORDS=("$program" "${@:2}")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    completion_options=""
    _vellumet_convert "$program" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    offers=$(printf '%s\n' "${COMPREPLY[@]}" | sed -e '/^$/d' | LC_ALL=C sort)
}

expect_offers() {
    local what=$1 expected
    expected=$(printf '%s\n' "${@:2}" | sed -e '/^$/d' | LC_ALL=C sort)
    [ "$offers" = "$expected" ] || fail "$what: offered [${offers//$'\n'/|}], expected [${expected//$'\n'/|}]"
}

# Options: all of those on the option lines of --help, and only those.
help_options=$("$program" --help | grep -E '^[[:space:]]+-' |
    grep -oE '(^|[[:space:],|])--?[[:alnum:]][[:alnum:]-]*' | sed -e 's/^[[:space:],|]*//' | LC_ALL=C sort -u)
offers "p -" p -
[ "$offers" = "$help_options" ] || fail "options: offered [${offers//$'\n'/|}], --help has [${help_options//$'\n'/|}]"
offers "p --om" p --om
expect_offers "--om" --omit-background --omit-shadow
offers "p --help " p --help ""
expect_offers "after --help"

# Device names: as --list-devices prints them, spaces and parentheses kept; any letter case typed.
mapfile -t devices < <("$program" --list-devices | sed -e 's/  .*$//')
[ "${#devices[@]}" -ge 5 ] || fail "--list-devices printed ${#devices[@]} devices"
offers "p -d " p -d ""
expect_offers "-d" "${devices[@]}"
[[ $completion_options == *filenames* ]] || fail "device names are not quoted as file names are"
offers "p --device=amazon" p --device = amazon
expect_offers "--device=amazon" "Amazon Kindle DX" "Amazon Kindle 2"
offers 'p -d Small\ \(6' p -d 'Small\ \(6'
expect_offers "-d with an escaped beginning" "Small (600*800)"
offers 'p -d "medium (' p -d '"medium ('
expect_offers "-d with a quoted beginning" "Medium (900*1200)"

# Inputs: folders, and files of the kinds the desktop entry declares, in any letter case: each
# declared kind gets offered by at least one of its extensions, and no undeclared kind is offered.
# The extensions come from the shared MIME database, so the two lists cannot drift apart.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir "slide pictures" out
declared=$(sed -n -e 's/^MimeType=//p' "$desktop_entry" | tr ';' '\n' | sed -e '/^$/d')
# Every presentation-like kind the MIME database knows, declared or not, and two that are not.
declare -A type_of=()
while IFS=: read -r _ type glob _; do
    extension=${glob#\*.}
    [[ $glob == \*.* && $extension != *[!a-z0-9]* ]] || continue
    [[ $type == *powerpoint* || $type == *presentation* || $type == *impress* ]] || continue
    type_of[$extension]=$type
    touch "deck.$extension" "UPPER.${extension^^}"
done < <(sort -u /usr/share/mime/globs2)
touch notes.txt deck.pdf
offers "p " p ""
offered_types=""
for extension in "${!type_of[@]}"; do
    type=${type_of[$extension]}
    lower=$(grep -cxF "deck.$extension" <<<"$offers")
    upper=$(grep -cxF "UPPER.${extension^^}" <<<"$offers")
    [ "$lower" = "$upper" ] || fail "inputs: .$extension is offered in one letter case only"
    if [ "$lower" = 1 ]; then
        grep -qxF "$type" <<<"$declared" || fail "inputs: .$extension ($type) is offered but not declared"
        offered_types+="$type"$'\n'
    fi
done
for type in $declared; do
    grep -qxF "$type" <<<"$offered_types" || fail "inputs: no file of the declared $type is offered"
done
for other in notes.txt deck.pdf; do
    grep -qxF "$other" <<<"$offers" && fail "inputs: $other is offered"
done
grep -qxF "slide pictures" <<<"$offers" || fail "inputs: the picture folder is not offered"
offers "p -o " p -o ""
expect_offers "-o" "out" "slide pictures"

# zsh: the same options as --help, no more and no fewer.
zsh_options=$(grep -E "^  '" "$zsh_completion" | sed -e 's/\[[^]]*\]//g' -e 's/:.*//' |
    grep -oE "(^|[^[:alnum:]-])--?[[:alnum:]][[:alnum:]-]*" | sed -e 's/^[^-]*//' | LC_ALL=C sort -u)
[ "$zsh_options" = "$help_options" ] || fail "zsh options [${zsh_options//$'\n'/|}] differ from --help"

[ "$failures" -eq 0 ] || exit 1
echo "bash and zsh completion agree with $program"
