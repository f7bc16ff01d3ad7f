#!/usr/bin/env bash
# Checks the package that scripts/package.sh built, without installing it:
# its contents and declared dependencies, lintian and desktop-file-validate,
# then a whole road of its unpacked tabrovin-batch with HOME and
# XDG_DATA_HOME in a scratch folder, and an upgrade over an earlier package
# that must keep the user's files. Needs no display; changes nothing outside
# its scratch folder.
set -uo pipefail
cd "$(dirname "$0")/.."

debs=(build/tabrovin_*_amd64.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "check-package: expected one build/tabrovin_<version>_amd64.deb; run scripts/package.sh" >&2
    exit 2
fi
deb=$(realpath "${debs[0]}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
passed=0
failed=0

pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1" >&2; }
# check DESCRIPTION COMMAND...: passes when the command succeeds.
check() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
# same TEXT EXPECTED DESCRIPTION
same() {
    if [ "$1" = "$2" ]; then pass "$3"; else fail "$3: got [$1], expected [$2]"; fi
}
contains() { grep -qF -- "$2" <<<"$1"; }
# declares PACKAGE: Depends names PACKAGE itself (with or without a version).
declares() {
    [ -n "$1" ] && [[ ", $depends," == *", $1 "* || ", $depends," == *", $1,"* ]]
}

version=$(dpkg-deb -f "$deb" Version)
same "$(basename "$deb")" "tabrovin_${version}_amd64.deb" "file name carries the package's version"

# --- Contents -----------------------------------------------------------
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/tabrovin ./usr/bin/tabrovin-batch \
            ./usr/share/tabrovin/B.mdb ./usr/share/tabrovin/导出空白.xls ./usr/share/tabrovin/导出空白.xlsx \
            ./usr/share/applications/tabrovin.desktop \
            ./usr/share/icons/hicolor/scalable/apps/tabrovin.svg \
            ./usr/share/man/man1/tabrovin-batch.1.gz ./usr/share/doc/tabrovin/copyright; do
    check "package holds $path" grep -qxF -- "$path" <<<"$listing"
done
check "nothing outside /usr" test -z "$(grep -v '^\./usr/' <<<"$listing" | grep -vx '\./')"
# The user's files are made at first start, never shipped.
check "no data.mdb or ini.txt shipped" test -z "$(grep -E 'data\.mdb|ini\.txt' <<<"$listing")"

# --- Declared dependencies -------------------------------------------------
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libsqlite3-0 libgsf-1-114 qt6-translations-l10n qt6-qpa-plugins; do
    check "Depends names $p" declares "$p"
done
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
# Every library the binaries link must come from a declared package.
for exe in "$root/usr/bin/tabrovin" "$root/usr/bin/tabrovin-batch"; do
    check "$(basename "$exe") finds every library it links" \
        test -z "$(ldd "$exe" | grep 'not found')"
    for lib in $(objdump -p "$exe" | awk '/NEEDED/ {print $2}'); do
        # "lib.so => /path (addr)", or "/path/lib.so (addr)" for the loader.
        resolved=$(ldd "$exe" | awk -v l="$lib" '$1 == l {print $3} $1 ~ ("/" l "$") {print $1}')
        owner=""
        for p in "$resolved" "$(realpath -q "$resolved")"; do
            [ -n "$owner" ] || owner=$(dpkg -S "$p" 2>/dev/null | head -1 | cut -d: -f1)
        done
        check "$(basename "$exe"): $lib is from a declared package (${owner:-none found})" \
            declares "$owner"
    done
done

# --- Quality ----------------------------------------------------------------
check "lintian reports no errors" lintian --fail-on error "$deb"
check "desktop-file-validate passes" \
    desktop-file-validate "$root/usr/share/applications/tabrovin.desktop"
desktop=$(cat "$root/usr/share/applications/tabrovin.desktop")
check "desktop entry has a Chinese name" contains "$desktop" "Name[zh_CN]="
check "desktop entry opens workbooks" contains "$desktop" "application/vnd.ms-excel;"
check "the icon is well-formed SVG" xmllint --noout "$root/usr/share/icons/hicolor/scalable/apps/tabrovin.svg"
check "the manual page reads" test -n "$(MANWIDTH=80 man -l "$root/usr/share/man/man1/tabrovin-batch.1.gz" 2>/dev/null | grep -F -- --home)"

# --- A whole road of the unpacked command -------------------------------------
# batch ROOT XDG ARGS...: the unpacked tabrovin-batch with its own HOME.
batch() {
    local r=$1 xdg=$2
    shift 2
    env HOME="$scratch/home" XDG_DATA_HOME="$xdg" "$r/usr/bin/tabrovin-batch" "$@" 2>&1
}
mkdir -p "$scratch/home"
book="$scratch/客户.csv"
printf '姓名,城市,电话\n张三,北京,1\n李四,上海,2\n王五,北京,3\n赵六,广州,4\n孙七,上海,5\n' >"$book"
xdg="$scratch/xdg"
home="$xdg/tabrovin"
same "$(batch "$root" "$xdg" --version)" "tabrovin-batch $version" "--version prints the package's version"
same "$(batch "$root" "$xdg" rows)" "编号" "first start: an empty working table"
for f in data/B.mdb data/data.mdb data/ini.txt data/导出空白.xls data/导出空白.xlsx; do
    check "first start lays out $f" test -f "$home/$f"
done
check "first start makes 导出/" test -d "$home/导出"
check "nothing written beside the unpacked program" test ! -e "$root/usr/bin/data"
check "import" contains "$(batch "$root" "$xdg" import "$book")" "[Tabrovin] 导入完成了!"
same "$(batch "$root" "$xdg" rows | wc -l)" 6 "five rows imported"
check "dedupe" contains "$(batch "$root" "$xdg" dedupe --column 1)" "总数还有3!"
check "export" contains "$(batch "$root" "$xdg" export --col 0 --col 1=城 --rows 2)" "2页"
page=$(/usr/bin/python3 -c 'import sys, xlrd
s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)
print("|".join(",".join(str(c.value) for c in s.row(r)) for r in range(s.nrows)))' \
    "$home/导出/转换后的1.xls" 2>&1)
same "$page" "姓名,城|张三,北京|李四,上海" "the first page reads back in xlrd"
check "undo" contains "$(batch "$root" "$xdg" undo)" "工作数据表恢复为 5 行"
same "$(batch "$root" "$xdg" rows | wc -l)" 6 "undo brings the five rows back"

# --- Upgrade over an earlier package keeps the user's files --------------------
# The earlier package: this one under a lower version, with an older template.
old="$scratch/old"
dpkg-deb -R "$deb" "$old"
sed -i "s/^Version: .*/Version: 0.1/" "$old/DEBIAN/control"
dpkg-deb --root-owner-group -b "$old" "$scratch/tabrovin_0.1_amd64.deb" >/dev/null
root2="$scratch/root2"
xdg2="$scratch/xdg2"
dpkg-deb -x "$scratch/tabrovin_0.1_amd64.deb" "$root2"
batch "$root2" "$xdg2" import "$book" >/dev/null
batch "$root2" "$xdg2" delete --column 2 --keyword 5 >/dev/null
# A template the user styled is theirs too.
printf 'styled' >>"$xdg2/tabrovin/data/导出空白.xls"
before=$(cd "$xdg2/tabrovin/data" && md5sum data.mdb ini.txt 导出空白.xls)
rows_before=$(batch "$root2" "$xdg2" rows)
dpkg-deb -x "$deb" "$root2"
same "$(batch "$root2" "$xdg2" --version)" "tabrovin-batch $version" "the upgrade replaced the program"
same "$(batch "$root2" "$xdg2" rows)" "$rows_before" "the upgraded program shows the user's rows"
same "$(cd "$xdg2/tabrovin/data" && md5sum data.mdb ini.txt 导出空白.xls)" "$before" \
    "the upgrade kept data.mdb, ini.txt and the user's template byte for byte"

echo "package checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
