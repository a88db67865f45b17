// Placeholder until the project command handlers land.
#include "app/TForm1.h"

void TForm1::myImage_nClick() {}
void TForm1::myImage_oClick() {}
void TForm1::myImage_sClick() {}
void TForm1::myImage_donetClick() {}
