#!/usr/bin/env bash
# Builds the Debian package with scripts/package.sh, lists it, unpacks it into a temporary folder,
# runs the unpacked command line and has lintian check it.
# Usage: check_package.sh SOURCE_DIR
set -euo pipefail
cd "$1"
started=$SECONDS
deb="$(./scripts/package.sh | tail -n 1)"
echo "package: $deb ($((SECONDS - started)) s to build)"

version="$(dpkg-deb -f "$deb" Version)"
case "$(basename "$deb")" in
  "zorvane_${version}_$(dpkg --print-architecture).deb") ;;
  *) echo "unexpected package file name $(basename "$deb")"; exit 1 ;;
esac
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for needed in libqt6core6 libqt6widgets6 libqt6sql6-sqlite qt6-translations-l10n libc6 libzip4 libfreexl1; do
  if [[ "$depends" != *"$needed"* ]]; then
    echo "Depends lacks $needed"
    exit 1
  fi
done

listing="$(dpkg-deb -c "$deb")"
for path in ./usr/bin/zorvane ./usr/bin/zorvane-cli \
  ./usr/share/applications/zorvane.desktop \
  ./usr/share/icons/hicolor/scalable/apps/zorvane.svg \
  ./usr/share/man/man1/zorvane.1.gz ./usr/share/man/man1/zorvane-cli.1.gz \
  ./usr/share/doc/zorvane/README.md ./usr/share/doc/zorvane/docs/main-window.png \
  ./usr/share/doc/zorvane/copyright ./usr/share/doc/zorvane/changelog.gz; do
  if ! grep -q " ${path}\$" <<<"$listing"; then
    echo "the package lacks $path"
    echo "$listing"
    exit 1
  fi
done
if ! grep -q ' \./usr/share/metainfo/.*\.metainfo\.xml$' <<<"$listing"; then
  echo "the package lacks the AppStream metadata"
  exit 1
fi

unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
reported="$("$unpacked/usr/bin/zorvane-cli" --version)"
echo "zorvane-cli --version: $reported"
if [[ "$reported" != *"$version"* ]]; then
  echo "the unpacked zorvane-cli does not report version $version"
  exit 1
fi

started=$SECONDS
# Errors fail the check; warnings and notes are shown.
lintian --fail-on error --display-info --tag-display-limit 0 "$deb"
echo "lintian: no errors ($((SECONDS - started)) s)"
