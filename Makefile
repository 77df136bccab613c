# The two commands of the README, plus the sanitizer variants for local use.
JOBS ?= $(shell nproc)

.PHONY: test run tsan deps
deps:
	scripts/install-deps

test: deps
	scripts/install-mcp-sdk
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

tsan: deps
	scripts/install-mcp-sdk
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	setarch "$$(uname -m)" -R ctest --preset tsan -j $(JOBS)

# Builds only the program it runs (scripts/run --target names it), not every test and benchmark.
run: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target "$$(scripts/run --target)"
	scripts/run
