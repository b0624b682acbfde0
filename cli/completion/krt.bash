# bash completion for krt, the KRT device programmer's command line.
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Commands, options, fault names and the catalogue's types, makers and part
# numbers all come from krt itself (krt complete, krt list), so that the
# completion knows what the installed program and catalogue know.

_krt_words() {
    # $1: the krt program as typed; the rest: krt's arguments.
    local program=$1
    shift
    "$program" "${_krt_catalogue[@]}" "$@" 2>/dev/null
}

_krt() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=
    (( COMP_CWORD > 0 )) && prev=${COMP_WORDS[COMP_CWORD-1]}
    local program=${COMP_WORDS[0]}
    # A --catalogue given on the line is the catalogue to complete from.
    _krt_catalogue=()

    # The command and its arguments so far, options and their values left out.
    local -a args=()
    local i word takes_value
    for (( i = 1; i < COMP_CWORD; i++ )); do
        word=${COMP_WORDS[i]}
        case $word in
            --port|--port-base|--clock|--power-circuit|--lang|--trace|--settings|--sim-chip|\
            --sim-revisions|--sim-fault|--start|--length|--errors|--find|--format|--count|--serial|--log|\
            --sim-chip-dir|--sim-bad-chip)
                (( i++ )) ;;
            --catalogue)
                (( i++ ))
                _krt_catalogue=(--catalogue "${COMP_WORDS[i]}") ;;
            -*) ;;
            *) args+=("$word") ;;
        esac
    done

    case $prev in
        --port) COMPREPLY=($(compgen -W "sim ppdev direct" -- "$cur")); return ;;
        --port-base) COMPREPLY=($(compgen -W "378 278 3BC" -- "$cur")); return ;;
        --lang) COMPREPLY=($(compgen -W "ja en" -- "$cur")); return ;;
        --power-circuit) COMPREPLY=($(compgen -W "1 2" -- "$cur")); return ;;
        --format) COMPREPLY=($(compgen -W "hex srec bin jed" -- "$cur")); return ;;
        --sim-fault) COMPREPLY=($(compgen -W "$(_krt_words "$program" complete faults)" -- "$cur")); return ;;
        --catalogue|--sim-chip-dir) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --trace|--settings|--sim-chip|--log) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --clock|--start|--length|--errors|--sim-revisions|--find|--count|--serial|--sim-bad-chip) return ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_krt_words "$program" complete options)" -- "$cur"))
        return
    fi
    if (( ${#args[@]} == 0 )); then
        COMPREPLY=($(compgen -W "$(_krt_words "$program" complete commands)" -- "$cur"))
        return
    fi

    # Where the device words start: after sdp's on|off, else right after the command.
    local command=${args[0]} first=1
    case $command in
        read|write|verify|blank|erase|secure|option|auto|convert|sum|info|selftest) ;;
        sdp)
            first=2
            if (( ${#args[@]} == 1 )); then
                COMPREPLY=($(compgen -W "on off" -- "$cur"))
                return
            fi ;;
        batch)
            first=2
            if (( ${#args[@]} == 1 )); then
                COMPREPLY=($(compgen -W "auto write" -- "$cur"))
                return
            fi ;;
        list)
            case ${#args[@]} in
                1) COMPREPLY=($(compgen -W "$(_krt_words "$program" complete types)" -- "$cur")) ;;
                2) COMPREPLY=($(compgen -W "$(_krt_words "$program" list "${args[1]}")" -- "$cur")) ;;
            esac
            return ;;
        *) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    esac

    local position=$(( ${#args[@]} - first ))
    local IFS=$'\n'
    if (( position == 0 )); then
        # A type key, or a part number alone.
        COMPREPLY=($(compgen -W "$(_krt_words "$program" complete types "$cur"; _krt_words "$program" complete parts "$cur")" -- "$cur"))
        # Part numbers are matched without regard to case.
        if (( ${#COMPREPLY[@]} == 0 )); then
            COMPREPLY=($(_krt_words "$program" complete parts "$cur"))
        fi
        return 0
    fi
    local type=${args[first]}
    if _krt_words "$program" complete types | grep -qixF -- "$type"; then
        if (( position == 1 )); then
            COMPREPLY=($(compgen -W "$(_krt_words "$program" list "$type")" -- "$cur"))
            return
        fi
        if (( position == 2 )); then
            COMPREPLY=($(compgen -W "$(_krt_words "$program" list "$type" "${args[first+1]}")" -- "$cur"))
            return
        fi
    fi
    COMPREPLY=($(compgen -f -- "$cur"))
    return 0
}

complete -o filenames -F _krt krt
