#!/bin/bash
# Stands in for vorlan-moto-verify in the server's tests: FILE [--data DIR]
# [--courses DIR]. It does what the race file's "stand-in" lines say:
#   stand-in sleep SECONDS       wait first
#   stand-in spin                burn CPU until stopped
#   stand-in exit STATUS         the exit status (default 0)
#   stand-in print TEXT...       the line to print
#   stand-in escape DB OUT PORT  try to read the server's database, write
#                                outside its temporary folder and connect to
#                                a port on the host; say what it got
#   stand-in inputs              say which of what a verifier needs it sees
#   stand-in trace TEXT          with --trace OUT: write TEXT as the trace
#   stand-in trace-link TARGET   with --trace OUT: make OUT a link to TARGET
file="$1"
trace=""
previous=""
for arg in "$@"; do
  [ "$previous" = --trace ] && trace="$arg"
  previous="$arg"
done
status=0
line='{"verdict": "refused", "reason": "no stand-in line"}'
while IFS= read -r l; do
  case "$l" in
    "stand-in sleep "*) sleep "${l#stand-in sleep }" ;;
    "stand-in spin") while :; do :; done ;;
    "stand-in exit "*) status="${l#stand-in exit }" ;;
    "stand-in print "*) line="${l#stand-in print }" ;;
    "stand-in trace "*) [ -n "$trace" ] && printf '%s\n' "${l#stand-in trace }" >>"$trace" ;;
    "stand-in trace-link "*) [ -n "$trace" ] && ln -s "${l#stand-in trace-link }" "$trace" ;;
    "stand-in escape "*)
      read -r db out port <<<"${l#stand-in escape }"
      got=""
      head -c 16 "$db" >/dev/null 2>&1 && got="$got read-database"
      ls "$(dirname "$db")" >/dev/null 2>&1 && got="$got list-data-folder"
      echo escaped >"$out" 2>/dev/null && got="$got write-outside"
      echo escaped >"$3/escaped" 2>/dev/null && got="$got write-game-data"
      (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && got="$got connect"
      echo fine >/tmp/inside 2>/dev/null || got="$got no-temp-folder"
      if [ -z "$got" ]; then got=" nothing"; fi
      line="{\"verdict\": \"refused\", \"reason\": \"got:$got\"}"
      status=2 ;;
    "stand-in inputs")
      seen=""
      [ -r "$file" ] && seen="$seen race-file"
      [ "$2" = --data ] && [ -r "$3/Courses/desert/course.json" ] && seen="$seen data"
      [ "$4" = --courses ] && [ -d "$5" ] && seen="$seen courses"
      [ -r Data/Courses/desert/course.json ] && seen="$seen data-beside"
      : >/tmp/scratch 2>/dev/null && seen="$seen temp"
      line="{\"verdict\": \"refused\", \"reason\": \"sees:$seen\"}"
      status=2 ;;
  esac
done <"$file"
printf '%s\n' "$line"
exit "$status"
