#pragma once
// The optimiser's linear programme: a dense condensed tableau over the
// materials and the dual simplex that solves it. When the rows cannot all be
// met, SolveLP releases one constraint block at a time (the blocks are listed
// in Constraints.h) and goes on from the basis it reached.

#include <array>
#include <cstdint>

namespace ferrolyt {

inline constexpr int LpMaxRows = 280;    // constraint rows 1..280; row 0 is the cost row
inline constexpr int LpMaxColumns = 100; // material columns 1..100; column 0 is the right side

// Comparisons of the simplex treat differences below this as ties; they are
// made on the tableau scaled to entries near 1, so the tolerance is relative.
inline constexpr long double LpTolerance = 1e-6L;

using TLpTableau = std::array<std::array<long double, LpMaxColumns + 1>, LpMaxRows + 1>;

// Row 0: T[0][0] the negated cost (0 before any exchange), T[0][j] the
// price of material j. Row r (1..LpRowCount): sum over j of T[r][j]·x_j is
// at most T[r][0], with every x_j >= 0.
extern TLpTableau LpTableau;
extern int32_t LpRowCount;

// Outcomes of SolveLP (and of Optimise).
enum TLpStatus : int32_t {
    lpMet = 0,          // the rows are met as given
    lpMetReleased = 1,  // met after one block was released automatically
    lpNotMet = 2        // not met even then (or the exchanges ran away)
};

// Exchanges allowed in one attempt of SolveLP before it gives up with
// lpNotMet. Runs of exchanges that leave the cost where it was perturb the
// prices, which are restored before the final test of the lowest cost, so
// only a fault would run past this.
int32_t LpExchangeLimit();

// Solves the programme in LpTableau over the columns 1..MaterialCount by
// the dual simplex. A basis is taken as the cheapest only when no column's
// reduced cost is below 0 by more than the tolerance relative to the
// prices it is made of (its own price and those of the basic materials it
// is traded against), whatever the units of the rows and columns; until
// then the exchanges go on. `release` > 0 names a block whose rows are
// lifted for the whole call. A negative price is refused with lpNotMet (the programme
// may then have no lowest cost). On lpMet and lpMetReleased every
// material's LpAmount holds the solution (0 for a non-basic one) and
// T[0][0] the negated cost; on lpNotMet every LpAmount is 0. The exchanges
// work on a copy: the rest of LpTableau stays as it was given.
int32_t SolveLP(int32_t release);

// SolveLP over one more column, MaterialCount + 1, which the caller has
// written into LpTableau (its price in row 0): a variable of the programme
// that is no material. Its value goes to `value`, 0 unless met.
int32_t SolveLPWithExtraColumn(int32_t release, long double& value);

} // namespace ferrolyt
