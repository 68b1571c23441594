// Placeholder; the rebuild and search stages follow.
int main() { return 0; }
