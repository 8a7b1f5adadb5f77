// STUB: to be implemented.
int main() { return 0; }
