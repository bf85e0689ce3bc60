#!/usr/bin/env bash
# Checks the layers of the source tree: a file includes only headers of its own
# folder or of the layers below it, widget (or other GUI) headers appear only in
# ui/ folders and in the program (app/), and every source is listed in its
# layer's list in CMakeLists.txt. Prints every offence and exits 1 when
# there is one. Run by ctest (test "layers") and so by scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

# The layers from the bottom up; folders of one rank do not include each other.
declare -A rank=(
    [domain]=0 [platform]=0
    [host]=1 [ledger]=1
    [session]=2
    [shared]=3
    [entry]=4 [demo]=4 [summary]=4 [reconcile]=4
    [opening]=5 [dispatched]=5
)

# Every header of Qt's GUI modules, by the names code includes them with.
qt_headers=$(dirname "$(find /usr/include -path '*/QtWidgets/QWidget' -print -quit 2>/dev/null)")
qt_headers=${qt_headers%/QtWidgets}
declare -A gui=()
for module in QtWidgets QtGui QtPrintSupport; do
    gui[$module]=1
    if [ -d "$qt_headers/$module" ]; then
        for h in "$qt_headers/$module"/*; do gui[$(basename "$h")]=1; done
    fi
done
if [ "${#gui[@]}" -le 3 ]; then
    echo "layers: Qt's widget headers were not found" >&2
    exit 1
fi

# folder of a path below src/: "opening" or "opening/ui"
layer_of() {
    local rest=${1#src/} top
    top=${rest%%/*}
    case "$rest" in
        */ui/*) echo "$top/ui" ;;
        *) echo "$top" ;;
    esac
}

offences=0
while IFS= read -r file; do
    from=$(layer_of "$file")
    base=${from%/ui}
    if [ -z "${rank[$base]+x}" ]; then
        echo "$file: folder src/$base has no layer (add it to scripts/layers.sh)"
        offences=$((offences + 1))
        continue
    fi
    while IFS= read -r line; do
        if [[ $line =~ ^#include\ \"([^\"]+)\" ]]; then
            inc=${BASH_REMATCH[1]}
            [[ $inc == */* ]] || continue  # a header beside the file
            to=$(layer_of "src/$inc")
            target=${to%/ui}
            [ "$to" = "$from" ] && continue
            [ "$target" = "$base" ] && [[ $from == */ui ]] && continue  # a window uses its own rules
            if [ -z "${rank[$target]+x}" ]; then
                echo "$file: includes $inc of unknown folder $target"
                offences=$((offences + 1))
            elif [[ $to == */ui && $from != */ui ]]; then
                echo "$file: includes the window header $inc"
                offences=$((offences + 1))
            elif [ "${rank[$target]}" -ge "${rank[$base]}" ] && [ "$target" != "$base" ]; then
                echo "$file: includes $inc from layer $target, not below $base"
                offences=$((offences + 1))
            fi
        elif [[ $line =~ ^#include\ \<([^\>/]+)\> ]] && [[ $from != */ui ]]; then
            inc=${BASH_REMATCH[1]}
            if [ -n "${gui[$inc]+x}" ]; then
                echo "$file: includes the GUI header <$inc> outside a ui/ folder"
                offences=$((offences + 1))
            fi
        fi
    done < "$file"
done < <(find src -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

# Sources are listed in CMakeLists.txt, each in its layer's list: a file left out
# would be built by nobody.
while IFS= read -r file; do
    if ! grep -q "^  $file\(\)\?)\?$" CMakeLists.txt; then
        echo "$file: not listed in CMakeLists.txt"
        offences=$((offences + 1))
    fi
done < <(find src app -type f \( -name '*.cpp' -o -name '*.h' \) ! -path app/main.cpp | sort)

if [ "$offences" -gt 0 ]; then
    echo "layers: $offences offence(s)"
    exit 1
fi
echo "layers: $(find src -type f \( -name '*.cpp' -o -name '*.h' \) | wc -l) files keep to their layers"
