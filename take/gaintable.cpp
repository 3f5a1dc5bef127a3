#include "take/gaintable.h"

const int pnAtt[12] = {12, 9, 6, 3, 0, -3, -6, -9, -12, 0, 0, 0};

int GainOfStep(int step)
{
    return step >= 0 && step < kGainStepCount ? pnAtt[step] : 0;
}
