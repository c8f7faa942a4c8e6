# The two set-up commands: `make demo` and `make test`.
# Both install missing Debian packages and configure first; the demo builds only the program it
# runs, the tests build everything.
BUILD_DIR ?= build
JOBS ?= 2
DEMO_DIR ?= out

.PHONY: all deps configure build demo test test-asan test-tsan bench format clean install-lv2 \
        install-python

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

demo: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target parandel
	@./$(BUILD_DIR)/parandel demo $(DEMO_DIR)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The LV2 bundle into ~/.lv2, or PREFIX/lib/lv2 when PREFIX is given; DESTDIR is honoured.
LV2_DIR ?= $(if $(PREFIX),$(PREFIX)/lib/lv2,$(HOME)/.lv2)
install-lv2: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target parandel_lv2 parandel-lv2-preset
	@rm -rf "$(DESTDIR)$(LV2_DIR)/parandel.lv2"
	@mkdir -p "$(DESTDIR)$(LV2_DIR)"
	@cp -R $(BUILD_DIR)/parandel.lv2 "$(DESTDIR)$(LV2_DIR)/"
	@echo "installed $(DESTDIR)$(LV2_DIR)/parandel.lv2"

# The Python module into the system python3's site folder (/usr/local/lib/python3.X/dist-packages),
# or PYTHON_DIR when given; DESTDIR is honoured.
PYTHON_DIR ?= $(shell /usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_path("platlib"))')
install-python: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target parandel_python
	@rm -rf "$(DESTDIR)$(PYTHON_DIR)/parandel"
	@mkdir -p "$(DESTDIR)$(PYTHON_DIR)"
	@cp -R $(BUILD_DIR)/python/parandel "$(DESTDIR)$(PYTHON_DIR)/"
	@rm -rf "$(DESTDIR)$(PYTHON_DIR)/parandel/__pycache__"
	@echo "installed $(DESTDIR)$(PYTHON_DIR)/parandel"

# The whole suite built with AddressSanitizer + UndefinedBehaviorSanitizer, and with
# ThreadSanitizer, each in its own build folder; any report fails the run.
test-asan: deps
	@bash scripts/sanitizer-test address,undefined $(BUILD_DIR)-asan $(JOBS)

test-tsan: deps
	@bash scripts/sanitizer-test thread $(BUILD_DIR)-tsan $(JOBS)

bench: build
	@./$(BUILD_DIR)/parandel_bench

format:
	@find app bench engine framework graph metering editor tests -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	@rm -rf $(BUILD_DIR)
