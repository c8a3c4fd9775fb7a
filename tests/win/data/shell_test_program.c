/* A program that does nothing: the shell lookup tests read the version information that each
   copy of it carries (or lacks). */
int main(void) {
    return 0;
}
