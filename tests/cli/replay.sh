#!/usr/bin/env bash
# narvo-tool replay from the command line: a plain scenario and a package, the output
# lines, scripted answers and the exit statuses.
set -u
tool=$1
build=$2
fail=0
check() { # check NAME EXPECTED ACTUAL
    if [ "$2" != "$3" ]; then
        printf 'FAIL %s\nexpected:\n%s\nactual:\n%s\n' "$1" "$2" "$3"
        fail=1
    fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The demo package: the last lines of a run stopped by --until.
out=$("$tool" replay --trace --vars --until 1000 "$build/narvo.nvp")
check "package status" 3 $?
check "package tail" "cmd 1000 demo/idle 1 @Effect
value count=10
string greeting=ようこそ 10
end until 1000" "$(printf '%s\n' "$out" | tail -n 4)"
check "package head" "cmd 200 _system/_init 0 @Return" "$(printf '%s\n' "$out" | head -n 1)"

# A plain scenario whose header is wrong, answered by a script at 100 ms; the main timer
# starts after the box, so the division fails at 300 ms and the next tick ends the page.
printf '///\r\n<Head="Narvo">\r\nFileType=NV4\r\nStartBook=b\r\nStartPage=p\r\n<Head End>\r\n<Book="b">\r\n<Page="p">\r\nValueCtrl.ValueVar=%%x%%\r\nValueCtrl.LeftValue=1\r\nValueCtrl.RightValue=0\r\nValueCtrl.Calc=Div\r\n@ValueCtrl\r\n<Page End>\r\n<Book End>\r\n' >"$work/plain.nvf"
printf '# answer the header question\n100 answer ignore\n' >"$work/script.txt"
out=$("$tool" replay --library /nonexistent --script "$work/script.txt" --vars "$work/plain.nvf")
check "plain status" 0 $?
check "plain output" 'dialog error abort/ignore: ファイルタイプが違います\nこのファイルは正常に読み込めないかもしれません
answer ignore
dialog error ok: ナルボライブラリが開けません\nCan'"'"'t open - "narvort5.nvl"
answer ok
dialog plain ok: debug: error report:\n ０で除算しました
answer ok
end finished 500' "$out"

# Without a script the first button answers: Abort, so the work is not opened.
"$tool" replay "$work/plain.nvf" >/dev/null 2>&1
check "abort status" 1 $?
"$tool" replay "$work/missing.nvp" >/dev/null 2>&1
check "missing status" 1 $?
"$tool" replay --until >/dev/null 2>&1
check "usage status" 2 $?

exit $fail
