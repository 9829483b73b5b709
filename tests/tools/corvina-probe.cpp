// The probe that prints a document's pages and named destinations arrives
// with document reading; until then it only reports failure.
int main() {
    return 1;
}
