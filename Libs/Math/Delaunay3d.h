#pragma once

#include "Libs/Math/Predicates.h"
#include "Libs/Math/Vec.h"

#include <array>
#include <iosfwd>
#include <memory>
#include <vector>

namespace Vostrel {

// Delaunay tetrahedralisation by randomised incremental insertion with flips.
// The records tile all of space: ordinary tetrahedra (orient3d <= 0) cover the
// hull and "inverted" ones (orient3d > 0, for which the in-sphere test holds
// outside the sphere) cover the rest, so no point at infinity is needed.
// Every pending point waits in the one record whose circumsphere holds it;
// a record's waiting points are a slice of one shared array, so that they are
// read in sequence rather than by chasing list links.
//
// A builder keeps its last build (records, point nodes) until the next build
// or its destruction; records are never moved, as they point at each other.
class Delaunay3d {
public:
    struct Tetrahedron;

    struct PointNode {
        const Vec3* point;
        // The record whose circumsphere holds the point while it waits.
        Tetrahedron* tetrahedron;
    };

    struct Tetrahedron {
        const Vec3* corners[4];
        // Neighbour i lies across the face opposite corner i; two records that
        // share a face list its corners in opposite cyclic order.
        Tetrahedron* neighbours[4];
        // Infinite for a flat record.
        Vec3 circumcentre;
        unsigned char inverted;
        unsigned char dead;
        // The nodes waiting in this record: waitingCount entries of the
        // builder's waiting array from firstWaiting on.
        int firstWaiting;
        int waitingCount;

        bool isLive() const { return !inverted && !dead; }
        bool isLiveInUnitCube() const;
        // insphere(p, corners) < 0: inside the sphere for an ordinary record,
        // outside it for an inverted one. A point on the sphere is an error.
        bool isInCircumcircle(const Vec3& p) const;
        // Recomputes the circumcentre and the inverted flag from the corners.
        void update();
        // Stores other in the slot(s) whose corner is not one of other's
        // corners, or is `except`; exactly one slot must match.
        void linkNeighbour(Tetrahedron* other, const Vec3* except);
        // Stores other in the slot opposite the face (a, b, c). `base` is the
        // start of the point array, for the diagnostics.
        void setNeighbourByFace(Tetrahedron* other, const Vec3* a, const Vec3* b, const Vec3* c,
                                const Vec3* base);
        // Reorders corners and neighbours (keeping the orientation) so that
        // other is neighbour 3 and other's corner 0 is corner 0.
        void orientTowards(const Tetrahedron* other);
    };

    Delaunay3d();
    ~Delaunay3d();
    Delaunay3d(const Delaunay3d&) = delete;
    Delaunay3d& operator=(const Delaunay3d&) = delete;

    // Corner indices (positions in points) of every live record, in pool order.
    std::vector<std::array<int, 4>> tetrahedralize(int count, const Vec3* points);
    // Segments between the circumcentres of adjacent live records whose
    // circumcentres lie strictly inside the cube [-1, 1]^3. Each edge comes
    // twice, once from each side.
    std::vector<std::array<Vec3, 2>> voronoiEdges(int count, const Vec3* points);

    // Builds and returns the number of records taken (dead and inverted ones
    // included). Needs at least four points with finite coordinates of
    // magnitude at most maxCoordinate. Consumes Runtime::rand draws for the
    // insertion order.
    int build(int count, const Vec3* points);
    int recordCount() const { return used; }
    const Tetrahedron& record(int index) const;
    int recordIndex(const Tetrahedron* t) const;
    int pointIndex(const Vec3* p) const { return static_cast<int>(p - base); }

    // Debug listing of the last build: each record that is not dead with its
    // corners, the inserted points inside its sphere and its neighbours, then
    // the summed signed volumes (six times) of ordinary and inverted records.
    void dumpTetrahedra(std::ostream& out) const;
    void dumpTetrahedra() const;

    // Clips the segment against the box [-3, 3]^3; a segment entirely outside
    // on one side is left as it is.
    static void clipSegmentToBox(Vec3& a, Vec3& b);

    // Beyond this the single-precision predicates would overflow.
    static constexpr float maxCoordinate = 1.0e6f;

private:
    static constexpr int chunkShift = 12;
    static constexpr int chunkSize = 1 << chunkShift;

    Tetrahedron* newRecord();
    void insertPoint(Tetrahedron* t, const Vec3* p, int inserting);
    void flipAll();
    bool flipOnce(Tetrahedron* t);
    void collapse(Tetrahedron* t, Tetrahedron* n);
    void redistribute(int inserting);
    int claimPoints(Tetrahedron* rest);
    void compactWaiting();

    // Fixed-size chunks, so records keep their addresses as the pool grows.
    std::vector<std::unique_ptr<Tetrahedron[]>> chunks;
    int used = 0;
    std::vector<PointNode> nodes;
    const Vec3* base = nullptr;
    std::vector<const Vec3*> inserted;
    // Records made or changed by the insertion in progress, most recent last.
    std::vector<Tetrahedron*> touched;
    std::vector<Tetrahedron*> flipStack;
    // Node indices, each record's waiting nodes in one slice.
    std::vector<int> waiting;
    // The nodes to be claimed, their points, and the index of the claimer
    // each one goes to.
    std::vector<int> gathered;
    std::vector<Vec3> gatheredPoints;
    std::vector<int> choices;
    std::vector<int> claimCounts;
    std::vector<Tetrahedron*> claimers;
    struct ClaimerLanes {
        Float4 corners[4][3];
    };
    std::vector<ClaimerLanes> claimerLanes;
};

} // namespace Vostrel
