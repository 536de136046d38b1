#include "app/Application.h"

int main(int argc, char** argv)
{
    return zarvello::runApplication(argc, argv);
}
