// The floor the console program's check is measured against: a console program that starts and ends.
int wmain()
{
    return 0;
}
