#include <cstdio>

int main() {
    std::puts("Quillet v1.5.04");
    return 0;
}
