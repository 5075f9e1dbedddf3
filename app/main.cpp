#include <cstdio>

int main() {
    std::puts("Kestrel Radio: the main window is not there yet.");
    return 0;
}
