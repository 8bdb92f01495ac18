// The entry point of a program library linked on its own (cmake/Program.cmake):
// it calls nothing, so the link checks only that the library's own objects find
// everything they call below it.
int main() {
    return 0;
}
