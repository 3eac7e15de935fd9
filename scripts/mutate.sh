#!/usr/bin/env bash
# Mutation check: plants each small fault listed in scripts/mutants.txt in
# turn, rebuilds what the chosen tests run, and runs them. A fault is killed
# when a test fails (or times out), survives when they all pass. The source
# file is always put back, also on error or interrupt. Slow: run by hand.
#
#   scripts/mutate.sh [mutant-list]
#   VZ_MUTATE_BUILD=dir   build folder (default build/mutate)
#   VZ_MUTATE_TIMEOUT=s   time allowed for one mutant's tests (default 300 s)
#   VZ_MUTATE_ONLY=regex  only the mutants whose file or text matches
# Compiler launchers (CMAKE_C_COMPILER_LAUNCHER, ...) are taken from the
# environment when set.
set -euo pipefail
# Relative paths count from where the script was started. The build folder's
# path must be plain and absolute: ninja's target names are cut from it.
list=$(realpath -ms "${1:-$(dirname "$0")/mutants.txt}")
build=$(realpath -ms "${VZ_MUTATE_BUILD:-$(dirname "$0")/../build/mutate}")
cd "$(dirname "$0")/.."
root=$(pwd)
timeout=${VZ_MUTATE_TIMEOUT:-300}
only=${VZ_MUTATE_ONLY:-}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

backup=$(mktemp)
mutated=""
restore() {
  if [ -n "$mutated" ]; then
    cp "$backup" "$root/$mutated"
    mutated=""
  fi
}
trap 'restore; rm -f "$backup"' EXIT
trap 'exit 130' INT TERM

cmake -S "$root" -B "$build" -G Ninja -DVZ_WITH_BENCH=OFF >/dev/null
echo "== building the unchanged tree"
cmake --build "$build" >/dev/null

# Replaces the one occurrence of OLD in the file by NEW; fails when OLD is
# missing or found more than once.
plant() { # file, old, new
  OLD=$2 NEW=$3 perl -0777 -i -ne '
    my ($old, $new) = ($ENV{OLD}, $ENV{NEW});
    my $count = () = /\Q$old\E/g;
    if ($count == 1) { s/\Q$old\E/$new/; } else { $failed = 1; }
    print;
    END { exit($failed ? 1 : 0) }' "$1"
}

# The executables behind the chosen tests, as ninja targets.
test_targets() { # ctest arguments...
  (cd "$build" && ctest --show-only=json-v1 "$@") |
    perl -MJSON::PP -0777 -ne '
      for my $t (@{decode_json($_)->{tests}}) { print "$t->{command}[0]\n" if $t->{command} }' |
    sed "s|^$build/||" | sort -u
}

killed=0
survived=0
not_applied=0
compiler=0
survivors=()
run_mutant() { # file, ctest-args, old, new
  local file=$1 args=$2 old=$3 new=$4 label="$1: '$3' -> '$4'"
  if [ -n "$only" ] && ! grep -qE -- "$only" <<<"$file $old"; then
    return
  fi
  cp "$root/$file" "$backup"
  mutated=$file
  if ! plant "$root/$file" "$old" "$new"; then
    restore
    not_applied=$((not_applied + 1))
    echo "NOT APPLIED  $label"
    return
  fi
  local verdict targets
  # shellcheck disable=SC2086 # the ctest arguments are words
  targets=$(test_targets $args)
  if [ -z "$targets" ]; then
    verdict="NOT APPLIED (no test matches '$args')"
    not_applied=$((not_applied + 1))
  elif ! ninja -C "$build" $targets >/dev/null 2>&1; then
    verdict="KILLED (compiler)"
    compiler=$((compiler + 1))
  elif (cd "$build" && timeout -k 10 "$timeout" ctest --stop-on-failure $args) >/dev/null 2>&1; then
    verdict="SURVIVED"
    survived=$((survived + 1))
    survivors+=("$label")
  else
    verdict="KILLED"
    killed=$((killed + 1))
  fi
  restore
  echo "$verdict  $label"
}

# The list as parallel arrays: file, ctest arguments, old text, new text.
files=() args=() olds=() news=()
header=""
while IFS= read -r line || [ -n "$line" ]; do
  case $line in
  '#'* | '') ;;
  '- '*) old=${line#- } ;;
  '+'*)
    new=${line#+}
    files+=("${header%% *}") args+=("${header#* }") olds+=("$old") news+=("${new# }")
    ;;
  *) header=$line ;;
  esac
done <"$list"

# A mutant only counts against tests that pass on the unchanged tree.
echo "== the chosen tests on the unchanged tree"
names=$(for a in "${args[@]}"; do
  # shellcheck disable=SC2086 # the ctest arguments are words
  (cd "$build" && ctest --show-only=json-v1 $a) | perl -MJSON::PP -0777 -ne '
    print "$_->{name}\n" for @{decode_json($_)->{tests}}'
done | sort -u | paste -sd '|')
if ! (cd "$build" && ctest -j2 --timeout "$timeout" -R "^($names)\$") | grep -E 'Test +#|tests passed'; then
  echo "the chosen tests fail before any change" >&2
  exit 1
fi

for i in "${!files[@]}"; do
  run_mutant "${files[$i]}" "${args[$i]}" "${olds[$i]}" "${news[$i]}"
done

# Put the build back in step with the unchanged tree.
cmake --build "$build" >/dev/null
total=$((killed + survived))
echo "mutants: $killed killed, $survived survived, $not_applied not applied ($((total ? 100 * killed / total : 0))% killed)"
echo "mutants that did not compile: $compiler"
for s in "${survivors[@]}"; do
  echo "survivor: $s"
done
