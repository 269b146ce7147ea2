# Two entry points: `make demo` (the main job on the shipped sample) and
# `make test` (every test). Both install what they need on Debian when run as root.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
BUILD_WIN  ?= build-win
SECONDS    ?= 10
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
VERSION    := $(shell grep -m1 -o 'Dunro VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)

APT_PACKAGES := cmake make g++ clang pkg-config libgtest-dev zlib1g-dev libpugixml-dev nlohmann-json3-dev \
                ntfs-3g dosfstools exfatprogs exfat-fuse mtools sleuthkit python3 util-linux fdisk gdisk coreutils xz-utils \
                qt6-base-dev qt6-svg-dev qt6-image-formats-plugins fonts-dejavu-core
# The window tests run on an X display as well as offscreen (tests/gui/on-xvfb).
APT_PACKAGES += xvfb
# Disk-image containers (E01, VHD/VHDX, VMDK) and the tools the tests make them with.
APT_PACKAGES += libewf-dev libvhdi-dev libvmdk-dev ewf-tools qemu-utils
# The Debian package: computed dependencies, and the checks its tests run.
APT_PACKAGES += dpkg-dev file lintian desktop-file-utils appstream libxml2-utils polkitd
# Other installs may be running on a shared machine: wait for apt's lock instead of failing.
APT_WAIT := -o DPkg::Lock::Timeout=1800

.PHONY: all deps configure build test test-native test-asan fuzz windows windows-package screenshots-windows screenshot-images qt-mingw demo gui screenshots package clean

all: build

deps:
	@missing=""; \
	for p in $(APT_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  if [ "$$(id -u)" -ne 0 ]; then echo "error: missing packages ($$missing) and not root: install them first" >&2; exit 1; fi; \
	  apt-get $(APT_WAIT) update -qq && DEBIAN_FRONTEND=noninteractive apt-get $(APT_WAIT) install -y -qq $$missing >/dev/null; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Qt for the Windows window is built first where this machine has none yet
# (once per Qt version; see qt-mingw), so that the window is always tested.
test: test-native
	$(MAKE) test-asan
	$(MAKE) fuzz SECONDS=$(SECONDS)
	@[ -n "$$(cmake/build-qt-mingw --where)" ] || $(MAKE) --no-print-directory qt-mingw
	$(MAKE) windows

test-native: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The same tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(BUILD_ASAN) -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Debug -DDUNRO_SANITIZE=ON \
	  -DDUNRO_CORPUS_DIR=$(abspath $(BUILD))/corpus >/dev/null
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# Scans the shipped demo volume and recovers its deleted files into a fresh folder.
# Every parser under libFuzzer for SECONDS each (make fuzz SECONDS=600 for a long run).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DDUNRO_FUZZ=ON -DDUNRO_BUILD_TESTS=OFF -DDUNRO_GUI=OFF >/dev/null
	cmake --build $(BUILD_FUZZ) -j $(JOBS)
	fuzz/run $(BUILD_FUZZ) $(SECONDS) $(abspath $(BUILD))/corpus

# The core, its tests and the command line cross-built for Windows with
# MinGW-w64, the tests run under Wine. pugixml is built from Debian's source
# package (fetched once), its source entry derived from the machine's own apt
# sources. The window, dunro-gui.exe, is built too where `make qt-mingw` has
# left its Qt in the cache. `make test-native` leaves this out.
windows: deps
	@missing=""; for p in g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 wine dpkg-dev librsvg2-bin; do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then apt-get $(APT_WAIT) update -qq && DEBIAN_FRONTEND=noninteractive apt-get $(APT_WAIT) install -y -qq $$missing >/dev/null; fi
	@if [ ! -f $(BUILD_WIN)/pugixml/src/pugixml.cpp ]; then \
	  cmake/enable-source-packages || exit 1; \
	  apt-get $(APT_WAIT) update -qq; mkdir -p $(BUILD_WIN)/pugixml-download && \
	  (cd $(BUILD_WIN)/pugixml-download && apt-get source --download-only pugixml >/dev/null 2>&1) && \
	  mkdir -p $(BUILD_WIN)/pugixml && tar -xzf $(BUILD_WIN)/pugixml-download/pugixml_*.orig.tar.gz \
	    -C $(BUILD_WIN)/pugixml --strip-components=1; fi
	cmake -S . -B $(BUILD_WIN) -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DDUNRO_PUGIXML_SOURCE=$(abspath $(BUILD_WIN))/pugixml/src -DDUNRO_CORPUS_DIR=$(abspath $(BUILD))/corpus \
	  -DDUNRO_QT_PREFIX=$$(cmake/build-qt-mingw --where) >/dev/null
	cmake --build $(BUILD_WIN) -j $(JOBS)
	for prefix in wineprefix wineprefix-gui; do \
	  WINEPREFIX=$(abspath $(BUILD_WIN))/$$prefix WINEDEBUG=-all cmake/wine-qt-environment; done
	# A program under Wine now and then fails to start at all (no output, no
	# time spent); a test that fails again is a failure.
	cd $(BUILD_WIN) && WINEPREFIX=$(abspath $(BUILD_WIN))/wineprefix WINEDEBUG=-all \
	  ctest --output-on-failure -j $(JOBS) --repeat until-pass:2
	cmake/windows-smoke $(abspath $(BUILD_WIN)) $(abspath $(BUILD))/corpus
	# The installer test, like a test under Wine, gets a second run: once in a
	# new Wine prefix on a new machine it found no Start-menu entry, then passed.
	@if [ -f $(BUILD_WIN)/bin/dunro-gui.exe ]; then \
	  $(MAKE) --no-print-directory windows-package && \
	  { cmake/windows-installer-test $(BUILD_WIN)/dunro-setup-$(VERSION).exe $(abspath $(BUILD))/corpus || \
	    cmake/windows-installer-test $(BUILD_WIN)/dunro-setup-$(VERSION).exe $(abspath $(BUILD))/corpus; }; fi

# The installer, $(BUILD_WIN)/dunro-setup-<version>.exe (NSIS), of what
# `make windows` built: it needs the window, hence `make qt-mingw` first.
windows-package:
	@dpkg-query -W -f='$${Status}' nsis 2>/dev/null | grep -q "install ok installed" || \
	  (apt-get $(APT_WAIT) update -qq && DEBIAN_FRONTEND=noninteractive apt-get $(APT_WAIT) install -y -qq nsis >/dev/null)
	@[ -f $(BUILD_WIN)/bin/dunro-gui.exe ] || { echo "windows-package: no dunro-gui.exe; run make qt-mingw, then make windows" >&2; exit 1; }
	rm -rf $(BUILD_WIN)/stage
	cmake --install $(BUILD_WIN) --prefix $(abspath $(BUILD_WIN))/stage >/dev/null
	packaging/windows/make-installer $(BUILD_WIN)/stage/bin $(VERSION) $(BUILD_WIN)/dunro-setup-$(VERSION).exe

# Qt for the Windows window, cross-built once per Qt version from Debian's
# source packages into /var/cache/dunro (long: see cmake/build-qt-mingw).
# `make windows` builds dunro-gui.exe where this cache exists.
qt-mingw:
	JOBS=$(JOBS) nice -n 19 cmake/build-qt-mingw

demo: build
	@gzip -dc samples/demo-ntfs.img.gz > $(BUILD)/demo-ntfs.img
	@echo "== dunro scan $(BUILD)/demo-ntfs.img"
	@$(BUILD)/bin/dunro scan $(BUILD)/demo-ntfs.img
	@dest=$$(mktemp -d /tmp/dunro-demo-XXXXXX); \
	echo; echo "== dunro recover $(BUILD)/demo-ntfs.img --to $$dest"; \
	$(BUILD)/bin/dunro recover $(BUILD)/demo-ntfs.img --to $$dest && \
	echo && ls -l "$$dest"

# Builds the desktop window and opens it, with the shipped demo volume as a drive.
gui: build
	@gzip -dc samples/demo-ntfs.img.gz > $(BUILD)/demo-ntfs.img
	$(BUILD)/bin/dunro-gui $(BUILD)/demo-ntfs.img

# Every window and box drawn offscreen, English and German, into docs/screenshots:
# the start page offers the demo volume as a drive, and the result page shows a
# scan from the window of the corpus image ntfs-basic.img (built once, as the
# tests build it), the card pictures a scan of the exFAT test card, and a
# whole-disk image (the disk_images fixture's MBR disk) is added as a drive per
# partition, and the deep scan of the content card (its file system wiped)
# runs through question 8. Then the same on an X display (Xvfb, Qt's xcb platform) into
# $(BUILD)/screenshots-xcb, which fails where a picture's size differs there.
SCREENSHOT_IMAGES = $(BUILD)/demo-ntfs.img $(BUILD)/corpus/ntfs-basic.img $(BUILD)/exfat-images/exfat-4k.img \
                    $(BUILD)/disks/mbr-disk.img $(BUILD)/content-images/content-fat32-raw.img
screenshots: screenshot-images
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/dunro_gui_screenshots docs/screenshots $(SCREENSHOT_IMAGES)
	tests/gui/on-xvfb $(BUILD)/bin/dunro_gui_screenshots $(BUILD)/screenshots-xcb $(SCREENSHOT_IMAGES) \
	  >/dev/null
	tests/gui/same-picture-sizes docs/screenshots $(BUILD)/screenshots-xcb

# The main window and the result page as the Windows build draws them under
# Wine (offscreen, with Debian's DejaVu fonts), English and German,
# into docs/screenshots/windows, in a Wine prefix of their own (the tests'
# prefix may have corpus images linked as drives). Needs `make windows` with
# the window built.
SCREENSHOTS_WINDOWS = main main-de result-types result-types-de card-result card-result-de preview-picture preview-picture-de
screenshots-windows: screenshot-images
	@[ -f $(BUILD_WIN)/bin/dunro_gui_screenshots.exe ] || \
	  { echo "screenshots-windows: no Windows window; run make qt-mingw, then make windows" >&2; exit 1; }
	rm -rf $(BUILD_WIN)/screenshots && mkdir -p docs/screenshots/windows
	WINEPREFIX=$(abspath $(BUILD_WIN))/wineprefix-screenshots WINEDEBUG=-all cmake/wine-qt-environment
	cd $(BUILD_WIN)/bin && WINEPREFIX=$(abspath $(BUILD_WIN))/wineprefix-screenshots WINEDEBUG=-all \
	  wine ./dunro_gui_screenshots.exe $(abspath $(BUILD_WIN))/screenshots $(abspath $(SCREENSHOT_IMAGES)) >/dev/null
	for name in $(SCREENSHOTS_WINDOWS); do cp $(BUILD_WIN)/screenshots/$$name.png docs/screenshots/windows/; done

screenshot-images: build
	@gzip -dc samples/demo-ntfs.img.gz > $(BUILD)/demo-ntfs.img
	@[ -f $(BUILD)/corpus/ntfs-basic.img ] || (cd $(BUILD) && ctest -R corpus_images >/dev/null)
	@[ -f $(BUILD)/exfat-images/exfat-4k.img ] || (cd $(BUILD) && ctest -R exfat_images >/dev/null)
	@[ -f $(BUILD)/disks/mbr-disk.img ] || (cd $(BUILD) && ctest -R disk_images >/dev/null)
	@[ -f $(BUILD)/content-images/content-fat32-raw.img ] || (cd $(BUILD) && ctest -R content_images >/dev/null)

# The Debian package $(BUILD)/dunro_<version>_<arch>.deb, its Depends computed
# from the libraries the programs link.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_WIN)
