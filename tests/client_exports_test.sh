#!/usr/bin/env bash
# client_exports_test.sh DEF DLL_X64 DLL_X86 X86_OBJECT CS GUIDE HEADER: the export table of
# lodevar_client.dll against everything that declares it, and the header's constants against their
# copies in other languages.
#   - both DLLs export exactly the names of the .def file, undecorated;
#   - every function the C# wrapper (CS), and the VB6 and Delphi declarations of the developer guide
#     (GUIDE) bind is exported;
#   - each of those declarations passes as many arguments as the function takes: on x86 every
#     argument is 4 bytes, and the decorated name in the x86 object (_lvc_print@20) gives the bytes a
#     __stdcall function takes off the stack; one argument too many or too few breaks the caller's
#     stack there;
#   - each constant of the C# wrapper marked with the header's name ("= 242; // LVC_ERR_PBPROFF"), and
#     each of the guide's VB6 constants, has the header's value; every status code, kit failure and
#     font of the header has its C# constant.
set -uo pipefail

def=$1 dll_x64=$2 dll_x86=$3 object=$4 cs=$5 guide=$6 header=$7
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

listed=$(awk '/^EXPORTS/ { on = 1; next } on && NF { print $1 }' "$def" | sort)
[ -n "$listed" ] || fail "no exports listed in $def"

# The export table's names (objdump -p: the lines of its "[Ordinal/Name Pointer] Table"), decorated
# ones (lvc_open@4) included.
exported() {
    "$1" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/ s/^\s*\[ *[0-9]*\] \([A-Za-z_][A-Za-z0-9_@]*\)$/\1/p' |
        sort
}
for arch in x64:"$dll_x64":x86_64-w64-mingw32-objdump x86:"$dll_x86":i686-w64-mingw32-objdump; do
    IFS=: read -r name dll tool <<<"$arch"
    if [ "$(exported "$tool" "$dll")" != "$listed" ]; then
        fail "the $name DLL's exports differ from the .def:"$'\n'"$(diff <(exported "$tool" "$dll") <(echo "$listed"))"
    else
        echo "ok: the $name DLL exports the $(wc -l <<<"$listed") names of the .def"
    fi
done

# Argument bytes per function, from the x86 object's decorated names.
declare -A bytes=()
while read -r symbol; do
    symbol=${symbol#_}
    bytes[${symbol%@*}]=${symbol#*@}
done < <(i686-w64-mingw32-nm -g --defined-only "$object" | awk '{ print $3 }' | grep '^_lvc_.*@[0-9]*$')

# check WHERE NAME COUNT: NAME is exported and takes COUNT arguments.
checked=0
check() {
    local where=$1 name=$2 count=$3
    checked=$((checked + 1))
    if ! grep -qx "$name" <<<"$listed"; then
        fail "$where binds $name, which the DLL does not export"
    elif [ -z "${bytes[$name]:-}" ]; then
        fail "no decorated x86 symbol for $name"
    elif [ $((count * 4)) -ne "${bytes[$name]}" ]; then
        fail "$where passes $name $count arguments; it takes $((${bytes[$name]} / 4))"
    fi
}

# count_args LIST SEPARATOR: the arguments in a parameter list.
count_args() {
    local list
    list=$(tr -d ' \t' <<<"$1")
    if [ -z "$list" ]; then
        echo 0
    else
        awk -F"$2" '{ print NF }' <<<"$list"
    fi
}

# C#: "public static extern TYPE NAME(ARGS);" (a declaration may run over two lines).
while read -r name args; do
    check "the C# wrapper" "$name" "$(count_args "$args" ,)"
done < <(tr '\n' ' ' <"$cs" | grep -o 'static extern [^;]*;' |
    sed -E 's/.* (lvc_[a-z0-9_]+)\(([^)]*)\);/\1 \2/')
cs_count=$checked

# VB6: "Declare Function NAME Lib "lodevar_client.dll" (ARGS) As ..." and "Declare Sub ...".
while read -r name args; do
    check "the guide's VB6 declarations" "$name" "$(count_args "$args" ,)"
done < <(grep -E '^(Public |Private )?Declare (Function|Sub) lvc_' "$guide" |
    sed -E 's/.*Declare (Function|Sub) (lvc_[a-z0-9_]+) Lib "lodevar_client\.dll" \(([^)]*)\).*/\2 \3/')
vb_count=$((checked - cs_count))

# Delphi: "function NAME(ARGS): TYPE; stdcall; external 'lodevar_client.dll';", where "a, b: Integer"
# is two arguments.
while read -r name args; do
    check "the guide's Delphi declarations" "$name" "$(count_args "$(tr ';' ',' <<<"$args")" ,)"
done < <(grep -E "^ *(function|procedure) lvc_.*stdcall; external 'lodevar_client\.dll'" "$guide" |
    sed -E "s/^ *(function|procedure) (lvc_[a-z0-9_]+)(\(([^)]*)\))?.*/\2 \4/")
delphi_count=$((checked - cs_count - vb_count))

# The header's constants: NAME VALUE, the value without parentheses ("(-1001)" is -1001).
declare -A value=()
while read -r name text; do
    value[$name]=$(tr -d '()' <<<"$text")
done < <(sed -nE 's|^#define (LVC_[A-Z0-9_]+) +([^ /]+).*|\1 \2|p' "$header")
[ -n "${value[LVC_ERR_PBPROFF]:-}" ] || fail "no status codes read from $header"

# constant WHERE CONSTANT VALUE NAME: CONSTANT's VALUE is the header's value of NAME.
constant() {
    if [ -z "${value[$4]:-}" ]; then
        fail "$1 binds $2 to $4, which the header does not define"
    elif [ "$3" != "${value[$4]}" ]; then
        fail "$1 gives $2 the value $3; the header's $4 is ${value[$4]}"
    fi
}
declare -A bound=()
cs_constants=0
while read -r name text header_name; do
    constant "the C# wrapper" "$name" "$text" "$header_name"
    bound[$header_name]=1
    cs_constants=$((cs_constants + 1))
done < <(sed -nE 's|.*public const [a-z]+ ([A-Za-z0-9_]+) = ([^;]+); // (LVC_[A-Z0-9_]+)$|\1 \2 \3|p' "$cs")
# The codes the driver names (the header's list), the kit's own results and failures, the fonts.
required=$(grep -oE 'X\(LVC_[A-Z0-9_]+,' "$header" | sed -E 's/X\((.*),/\1/')
required+=$'\n'$(grep -oE '^#define LVC_(E_[A-Z_]+|DONE|NOTHING_DONE|FAILED|CANCELLED|FONT_[A-Z_]+) ' "$header" |
    awk '{ print $2 }')
for name in $required; do
    [ -n "${bound[$name]:-}" ] || fail "the C# wrapper has no constant for $name"
done
echo "ok: $cs_constants C# constants checked against the header, $(wc -w <<<"$required") required"
vb_constants=0
while read -r name text; do
    constant "the guide's VB6 code" "$name" "$text" "$name"
    vb_constants=$((vb_constants + 1))
done < <(sed -nE 's/^(Public |Private )?Const (LVC_[A-Z0-9_]+) = ([^ ]+).*/\2 \3/p' "$guide")
if [ "$vb_constants" -eq 0 ]; then
    fail "no VB6 constants found in the guide: the pattern no longer matches them"
else
    echo "ok: $vb_constants VB6 constants checked against the header"
fi

for pair in "C#:$cs_count" "VB6:$vb_count" "Delphi:$delphi_count"; do
    if [ "${pair#*:}" -lt 10 ]; then
        fail "only ${pair#*:} ${pair%%:*} declarations found: the pattern no longer matches them"
    else
        echo "ok: ${pair#*:} ${pair%%:*} declarations checked"
    fi
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
