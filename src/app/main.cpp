#include "app/startup.h"

int main(int argc, char **argv) { return xq_main(argc, argv); }
