// Compiled with the modules' numeric flags and with FMA instructions allowed: if those flags did
// not forbid contraction, the compiler would fuse this multiply-add.
__attribute__((target("fma"), noinline)) double pk_probe_multiply_add(double a, double b, double c) {
    return a * b + c;
}
