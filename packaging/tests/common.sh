# Shared by the packaging checks: a clean scratch folder and a failure count.
failures=0

fail()
{
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# scratch NAME: an empty folder under the build's packaging folder.
scratch()
{
    local dir=$build/packaging/$1
    rm -rf "$dir"
    mkdir -p "$dir"
    echo "$dir"
}

finish()
{
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
}
