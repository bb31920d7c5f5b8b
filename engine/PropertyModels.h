#pragma once
// Physical property models: diffusivity, activity, vapour pressure, mass
// transfer, and the surface partial pressure built from them.

#include <optional>

namespace kelvane {

class Calculation;

// The molar-volume quotients of solvent i's activity (j the other solvent),
// constant through a run: Vi / Vj, (Vi / Vj) chi_jp as the bulk activity
// forms it and (chi_jp Vi) / Vj as the surface activity forms it.  Not Valid
// where forming them faults.
struct ActivityConstants {
  bool Valid = false;
  long double Ratio = 0, RatioChi = 0, ChiRatio = 0;
};

// Physical property models.  F points at the solvent's parameters indexed
// 1..11 (DiffParams1 or DiffParams2).
double CalcDconst(double F1, double F2, double T);
double CalcOmegaG(double F3, double F4, double Dconst);
double CalcBaseDiff(const double* F, double omega, double omegaG, double Dconst);
// The branch below omega_g, with ln Dconst given (the same for every node).
double CalcBaseDiffBelow(const double* F, double omega, double omegaG, long double lnDconst);
double ThermoFactor(double chiIP, double chiJP, double chiIJ, double Vi, double Vj, double phiI, double phiJ,
                    double phiP);
// Forms solvent i's quotients.
ActivityConstants FormActivityConstants(double chiJP, double Vi, double Vj);
// The same bits as ThermoFactor with each logarithm formed once and the
// quotients given (k Valid).
double ThermoFactorFast(double chiIP, double chiIJ, const ActivityConstants& k, double phiI, double phiJ,
                        double phiP);
double MassFracToConc(double wi, double wj, double rhoI, double rhoJ, double rhoP);
double ConcToMassFrac(double ci, double cj, double rhoI, double rhoJ, double rhoP);
double VaporPressure(double A, double B, double C, double T);
// The surface partial pressure, or nothing when the surface activity cannot
// be evaluated (ln or exp of the guarded trial faults).
std::optional<double> TrySurfacePartialPressure(double T, double phiI, double phiJ, double Vi, double Vj, double A,
                                                double B, double C, double chiIP, double chiJP, double chiIJ);
// The same at a given saturation pressure Ps.
std::optional<double> SurfacePartialPressureAt(double Ps, double phiI, double phiJ, double Vi, double Vj,
                                               double chiIP, double chiJP, double chiIJ);
// The same bits, skipping the guarded trial where it cannot fault, with the
// quotients given (k Valid).
std::optional<double> SurfacePartialPressureFast(double Ps, double phiI, double phiJ, double Vi, double Vj,
                                                 double chiIP, double chiJP, double chiIJ,
                                                 const ActivityConstants& k);
// As above; on failure shows the engine's message and clears TransferOk.
double SurfacePartialPressure(Calculation& calc, double T, double phiI, double phiJ, double Vi, double Vj, double A,
                              double B, double C, double chiIP, double chiJP, double chiIJ);
// Shows the failure of a surface partial pressure; returns the value or 0.
double SurfacePartialPressureReported(Calculation& calc, const std::optional<double>& P);
double MassTransferCoeff(double airDiffusivity, double h);

extern const char* const TransferFailureMessage;     // SurfacePartialPressure
extern const char* const ConvergenceFailureMessage;  // SecantStep
extern const char* const FitFailureMessage;          // FitFilmProfiles

}  // namespace kelvane
