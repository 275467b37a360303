#!/bin/sh
# Builds the test suite with AddressSanitizer and UndefinedBehaviorSanitizer into ./build-san and
# runs it; then builds the runner and shared-state tests with ThreadSanitizer into ./build-tsan
# and runs those. Any report fails the run (UBSan is fatal, LSan reports leaks at exit; leaks
# that come from system libraries are listed in scripts/lsan.supp). Run after scripts/test.sh,
# which installs what the build needs.
#   SANITIZE_AREAS=all     (default) every test program, the Qt ones included
#   SANITIZE_AREAS=engine  only the areas without Qt (platform, core, text, commands, archive,
#                          vfs, tools, medalor composition) and the fuzz corpus replays
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)
areas=${SANITIZE_AREAS:-all}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

configure() {
  folder=$1
  flags=$2
  # The benchmarks are left out: nothing runs them here. Line tables (-g1) are all a report's
  # stack needs, and they build and link much faster than full debug information.
  cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=None -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
    -DCMAKE_C_FLAGS="-O1 -g1 $flags" -DCMAKE_CXX_FLAGS="-O1 -g1 $flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
}

san="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
configure build-san "$san"
if [ "$areas" = engine ]; then
  cmake --build build-san -j"$jobs" --target platform_tests core_tests text_tests \
    commands_tests archive_tests vfs_tests tools_tests medalor_tests fuzzers
  (cd build-san && ctest --output-on-failure -j"$jobs" --timeout 900 \
    -L '^(platform|core|text|commands|archive|vfs|tools|medalor|fuzz)$' --no-tests=error)
else
  cmake --build build-san -j"$jobs"
  (cd build-san && ctest --output-on-failure -j"$jobs" --timeout 900)
fi

# The runner thread and the window thread share the setup state; extraction inflates on helper
# threads; the rollback journal is written from whichever thread changes the machine. TSan
# watches the tests of those: scripts on the runner thread, the shared state, the prefetcher
# (with solid blocks too), the file commands that extract through it, the files filled behind
# them, and the journal.
configure build-tsan "-fsanitize=thread"
cmake --build build-tsan -j"$jobs" --target commands_tests core_tests
(cd build-tsan && ctest --output-on-failure -j"$jobs" --timeout 900 \
  -R '^(RunnerTest|SetupStateTest|EntryPrefetcherTest|SolidEntriesTest|FileCommandsTest|JournalRecoveryTest|ThreadedAndNot/WriteBehindTest)[.]' \
  --no-tests=error)
