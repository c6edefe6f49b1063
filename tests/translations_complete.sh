#!/usr/bin/env bash
# Every text the program shows stands in each translation, translated. Runs lupdate over
# the sources into a copy of each .ts file: a text the code has and the file lacks comes
# out "unfinished", as does one the file has but has not translated.
# Usage: translations_complete.sh LUPDATE SOURCE_DIR TS_FILE...
set -euo pipefail
lupdate=$1
src=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

sources=()
for dir in app cli update renaming support fsobjects media platform resources/ui; do
    [[ -d "$src/$dir" ]] && sources+=("$src/$dir")
done

for ts in "$@"; do
    copy="$work/$(basename "$ts")"
    cp "$ts" "$copy"
    "$lupdate" -silent -no-obsolete -locations none -extensions cpp,h,ui "${sources[@]}" -ts "$copy" >/dev/null 2>&1
    missing=$(python3 - "$copy" <<'PY'
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
for context in root.iter('context'):
    name = context.findtext('name')
    for message in context.iter('message'):
        translation = message.find('translation')
        if translation is None or translation.get('type') in ('unfinished', 'vanished', 'obsolete') \
                or not (translation.text or list(translation)):
            print(f"  [{name}] {message.findtext('source')!r}")
PY
)
    if [[ -n "$missing" ]]; then
        echo "$(basename "$ts"): texts without a finished translation:"
        echo "$missing"
        status=1
    fi
done

# A looked-up text must be marked where it is written, or lupdate never sees it.
bare=$(grep -rnE '\bLocalizedString(NS)?\(\s*"' --include='*.cpp' --include='*.h' \
           "$src/app" "$src/cli" "$src/update" "$src/support" "$src/fsobjects" "$src/media" "$src/platform" \
       | grep -v 'support/LocalizedStrings\.' || true)
if [[ -n "$bare" ]]; then
    echo 'Texts looked up without QT_TRANSLATE_NOOP("LocalizedStrings", ...) at the call site:'
    echo "$bare"
    status=1
fi
[[ $status -eq 0 ]] && echo "all texts translated"
exit $status
