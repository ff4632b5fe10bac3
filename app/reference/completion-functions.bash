# The part of Quillet's bash completion that does not depend on the command table; the
# build puts the table's data before it (see BashCompletion.cpp).

# Adds the project names that begin with $2 (any letter case), each after $3, to COMPREPLY.
_quillet_projects() {
    local prog=$1 typed=${2//\\/} before=$3 id name rest
    typed=${typed#[\"\']}
    while IFS=$'\t' read -r id name rest; do
        [[ -n $name && ${name,,} == "${typed,,}"* ]] && COMPREPLY+=("$before$(printf '%q' "$name")")
    done < <("$prog" project list 2>/dev/null)
}

# Completes the word $3 as a value of the kind $2.
_quillet_value() {
    local prog=$1 kind=$2 cur=$3 IFS=$'\n'
    case $kind in
        project) _quillet_projects "$prog" "$cur" "" ;;
        archive)
            compopt -o filenames 2>/dev/null
            COMPREPLY+=($(compgen -f -X '!*.[lL][sS][pP]' -- "$cur") $(compgen -d -- "$cur"))
            ;;
        dir)
            compopt -o filenames 2>/dev/null
            COMPREPLY+=($(compgen -d -- "$cur"))
            ;;
        file)
            compopt -o filenames 2>/dev/null
            COMPREPLY+=($(compgen -f -- "$cur"))
            ;;
    esac
}

_quillet() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev= prog=${COMP_WORDS[0]} IFS=$'\n'
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # The flags of the console window and of unattended runs. Bash splits "-P=NAME" at
    # the "=" into three words.
    local p=
    ((COMP_CWORD >= 2)) && p=${COMP_WORDS[COMP_CWORD - 2]}
    if [[ $cur == = && ${prev,,} == -p ]]; then
        _quillet_projects "$prog" "" "="
        return
    fi
    if [[ $prev == = && ${p,,} == -p ]]; then
        _quillet_projects "$prog" "$cur" ""
        return
    fi
    if [[ ${cur,,} == -p=* ]]; then
        _quillet_projects "$prog" "${cur:3}" "${cur:0:3}"
        return
    fi
    local first=${COMP_WORDS[1]-}
    if ((COMP_CWORD == 1)) || [[ $first == -* || ${first,,} == minimize* ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$_quillet_flags" -- "$cur"))
            [[ ${COMPREPLY[*]} == -P= ]] && compopt -o nospace 2>/dev/null
        elif ((COMP_CWORD == 1)); then
            COMPREPLY=($(compgen -W "$_quillet_groups"$'\nhelp\nMINIMIZE=TRUE' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$_quillet_flags"$'\nMINIMIZE=TRUE' -- "$cur"))
        fi
        return
    fi

    if [[ $first == help ]]; then
        if ((COMP_CWORD == 2)); then
            COMPREPLY=($(compgen -W "$_quillet_groups" -- "$cur"))
        elif ((COMP_CWORD == 3)); then
            COMPREPLY=($(compgen -W "${_quillet_actions[${COMP_WORDS[2]}]-}" -- "$cur"))
        fi
        return
    fi

    # The command: one word ("backup"), or a group and its action ("project add").
    local actions=${_quillet_actions[$first]-} command at=2
    if [[ -n $actions ]] && ((COMP_CWORD > 2)) && [[ $'\n'$actions == *$'\n'${COMP_WORDS[2]}$'\n'* ]]; then
        command="$first ${COMP_WORDS[2]}"
        at=3
    elif [[ -n ${_quillet_arguments[$first]+set} ]]; then
        command=$first
        ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W "$actions" -- "$cur"))
    else
        ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W "$actions" -- "$cur"))
        return
    fi

    if ((COMP_CWORD > at)) && [[ -n ${_quillet_values["$command $prev"]+set} ]]; then
        _quillet_value "$prog" "${_quillet_values["$command $prev"]}" "$cur"
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY+=($(compgen -W "${_quillet_options[$command]-}"$'\n--help' -- "$cur"))
        return
    fi

    # Which positional argument is being typed: the words since the command, less the
    # options and their values.
    local i n=0 word options=true
    for ((i = at; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if $options && [[ $word == -- ]]; then
            options=false
        elif $options && [[ $word == -* ]]; then
            [[ $word != *=* && -n ${_quillet_values["$command $word"]+set} ]] && ((i++))
        else
            ((n++))
        fi
    done
    local -a kinds
    IFS=' ' read -r -a kinds <<<"${_quillet_arguments[$command]}"
    local kind=${kinds[n]-}
    if [[ -z $kind && ${kinds[-1]-} == *... ]]; then kind=${kinds[-1]}; fi
    [[ -n $kind ]] && _quillet_value "$prog" "${kind%...}" "$cur"
}

complete -F _quillet quillet
