# Sourced: chooses the architecture whose Windows programs run here, once per run.
#
# The i686 DLLs are the product and are always built; the tests run them under 32-bit Wine
# where the kernel runs 32-bit programs. Some kernels refuse them all ("Exec format error"):
# there the tests run an x86_64 build under 64-bit Wine. CONDUVEX_TEST_ARCH=i686 or x86_64
# forces the choice. Sets TEST_ARCH and TEST_ARCH_REASON.

# Starts a tiny 32-bit program (exit status 0) made with the system's assembler and linker.
runs_32bit_programs() {
    local dir
    dir=$(mktemp -d)
    printf '.globl _start\n_start:\n\tmovl $1, %%eax\n\txorl %%ebx, %%ebx\n\tint $0x80\n' >"$dir/probe.s"
    local status=1
    if as --32 "$dir/probe.s" -o "$dir/probe.o" 2>/dev/null &&
        ld -m elf_i386 "$dir/probe.o" -o "$dir/probe" 2>/dev/null; then
        "$dir/probe" 2>/dev/null && status=0
    fi
    rm -rf "$dir"
    return $status
}

choose_test_arch() {
    case "${CONDUVEX_TEST_ARCH:-}" in
    i686 | x86_64)
        TEST_ARCH=$CONDUVEX_TEST_ARCH
        TEST_ARCH_REASON="forced by CONDUVEX_TEST_ARCH"
        return 0
        ;;
    "") ;;
    *)
        echo "CONDUVEX_TEST_ARCH must be i686 or x86_64, not '$CONDUVEX_TEST_ARCH'" >&2
        return 1
        ;;
    esac
    if ! command -v as >/dev/null || ! command -v ld >/dev/null; then
        # The probe is made with the system's assembler and linker.
        local sudo_cmd=()
        [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
        { "${sudo_cmd[@]}" apt-get update -qq &&
            DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq binutils >/dev/null; } ||
            { echo "the architecture probe needs binutils (as, ld), which could not be installed" >&2; return 1; }
    fi
    if runs_32bit_programs; then
        TEST_ARCH=i686
        TEST_ARCH_REASON="this machine runs 32-bit programs"
    else
        TEST_ARCH=x86_64
        TEST_ARCH_REASON="this machine's kernel refuses 32-bit programs"
    fi
}

# Installs what the chosen road needs. Where 32-bit Wine cannot be installed (a package mirror
# whose i386 indexes are out of step), a choice that was not forced moves to the x86_64 road.
install_test_deps() { # root folder
    if "$1/tools/install-deps.sh" "$TEST_ARCH"; then
        return 0
    fi
    [ "$TEST_ARCH" = i686 ] && [ -z "${CONDUVEX_TEST_ARCH:-}" ] || return 1
    echo "32-bit Wine could not be installed: the tests move to the x86_64 build under 64-bit Wine"
    TEST_ARCH=x86_64
    TEST_ARCH_REASON="this machine runs 32-bit programs, but 32-bit Wine could not be installed"
    test_arch_line
    "$1/tools/install-deps.sh" "$TEST_ARCH"
}

# One line for the start and the end of a run.
test_arch_line() {
    echo "Architecture tested: $TEST_ARCH ($TEST_ARCH_REASON)"
}

# The test cases a CTest run reported as skipped, from its log: one line a reason, with the
# number of cases and the first of them.
report_skipped_tests() { # build folder
    local log=$1/Testing/Temporary/LastTest.log
    [ -f "$log" ] || return 0
    awk '/^\[ RUN      \]/ { reason = "" }
         /: Skipped$/ { getline reason }
         /^\[  SKIPPED \] .* \([0-9]+ ms\)$/ {
             if (!(reason in count)) { order[++reasons] = reason; first[reason] = $4 }
             count[reason]++
         }
         END {
             for (i = 1; i <= reasons; i++) {
                 r = order[i]
                 more = ""
                 if (count[r] > 1) more = " and " (count[r] - 1) " more"
                 printf "skipped: %s%s -- %s\n", first[r], more, r
             }
         }' "$log"
}
