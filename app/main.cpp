#include "app/Launch.h"

int main(int argc, char** argv)
{
    return OrdinelloMain(argc, argv);
}
