// Stands at C:\Arquivos.exe during a test: if anything starts it, it leaves a mark.
#include <cstdio>

int main() {
    if (std::FILE* mark = std::fopen("C:\\vexor-planted-ran.txt", "w")) {
        std::fputs("ran\n", mark);
        std::fclose(mark);
    }
    return 0;
}
