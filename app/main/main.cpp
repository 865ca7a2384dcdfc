// Entry point of the agent: everything it does is in CyendoApp.
int main(int, char**)
{
    return 0;
}
