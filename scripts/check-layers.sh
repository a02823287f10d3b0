#!/usr/bin/env bash
# Every include of the library names its own layer or one below it:
#   util <- dialogs <- platform <- net, db, xml <- staging <- provider <- frame
# Usage: check-layers.sh SRC_DIR. Prints each include that runs upward; exit 1 when there is one.
set -euo pipefail
src=${1:?usage: check-layers.sh SRC_DIR}

declare -A allowed=(
  [util]="util"
  [dialogs]="util dialogs"
  [platform]="util dialogs platform"
  [net]="util dialogs platform net"
  [db]="util dialogs platform db"
  [xml]="util dialogs platform xml"
  [staging]="util dialogs platform db xml staging"
  [provider]="util dialogs platform net db xml staging provider"
  [frame]="util dialogs platform net db xml staging provider frame"
)

status=0
while IFS= read -r -d '' file; do
  layer=${file#"$src"/}
  layer=${layer%%/*}
  [ -n "${allowed[$layer]:-}" ] || { echo "$file: not in a known layer" >&2; status=1; continue; }
  while IFS=: read -r line target; do
    [ -n "${allowed[$target]:-}" ] || continue  # not a layer of the library (the public header)
    case " ${allowed[$layer]} " in
      *" $target "*) ;;
      *) echo "${file#"$src"/}:$line: $layer must not include $target" >&2; status=1 ;;
    esac
  done < <(grep -n -o -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z0-9]+/' "$file" |
           sed -E 's/^([0-9]+):.*"([a-z0-9]+)\/$/\1:\2/')
done < <(find "$src" \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)
exit $status
