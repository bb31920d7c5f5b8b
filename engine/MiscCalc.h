#pragma once
// The simulation engine, all of it: the calculation and every operation on
// it.

#include "engine/Calculation.h"
#include "engine/DiffusionStep.h"
#include "engine/EngineHost.h"
#include "engine/EngineState.h"
#include "engine/Faults.h"
#include "engine/FilmState.h"
#include "engine/LinearSystem.h"
#include "engine/ProfileFit.h"
#include "engine/PropertyModels.h"
#include "engine/RunParameters.h"
#include "engine/Statistics.h"
#include "engine/StepBalances.h"
#include "engine/StepState.h"
#include "engine/SurfaceRescue.h"
#include "engine/ZoneGasBalance.h"
#include "engine/ZoneMarch.h"
