// Placeholder until the rotation handlers land.
#include "app/TForm1.h"

void TForm1::Timer1Timer() {}
void TForm1::Timer2Timer() {}
