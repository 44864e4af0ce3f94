#include "app.h"

int main() { RunProgram(); }
