#pragma once
// The stages of the dryer's design around its local search: the uniform
// schedules, a sample spread over the whole box, the repair of near misses,
// and the checks of the answer (the slopes along each field, the operating
// window as the line slows).

#include <string>
#include <vector>

#include "study/DesignSearch.h"

namespace kelvane::design_search {

// The best uniform schedule: every searched gas temperature at one value,
// each at its fastest speed; five temperatures over the common range, then
// the two midpoints beside the best.
void Uniform(Runs& runs, const DesignProblem& p, DesignResult& result);

// How many schedules the box sample spreads: more for more fields.
int SampleCount(const DesignProblem& p);

// A Latin hypercube of `count` schedules over the fields' bounds, each at
// its fastest speed by a coarse boundary search; the schedules that met the
// targets, fastest first.
std::vector<RowResult> SampleBox(Runs& runs, const DesignProblem& p, int count);

// The fastest runs that missed a target by a hair, faster than the best
// design: each schedule searched again on the speed just below, so that the
// design backs off to the speed that holds rather than falling back to a
// slower basin.
void Repair(Runs& runs, const DesignProblem& p);

// The slope check: along each field, a step either way, each with its own
// search of the fastest speed; the check fails, naming the field, where a
// step gains more than the tolerance.
void SlopeCheck(Runs& runs, const DesignProblem& p, DesignResult& result);

// The operating window on a grid of speeds from the window's slowest share
// up to the design's speed, and the slowest speed at which the schedule
// still meets every target.  True when every run of the grid met them.
bool WindowCheck(Runs& runs, const DesignProblem& p, const RowResult& design, DesignResult& result);

}  // namespace kelvane::design_search
