// Placeholder until the headless runner lands.
int main() { return 0; }
