#include "Libs/Math/Delaunay3d.h"

#include "Libs/Common/Exception.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Math/Predicates.h"
#include "Platform/Runtime/Runtime.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <utility>

namespace Vostrel {

namespace {

// Just below 1 / 32767, so that a draw of 32767 still gives an index <= i.
constexpr float shuffleScale = 3.0518509447574615e-05f;

bool insideUnitCube(const Vec3& v)
{
    return std::fabs(v.data[0]) < 1.0f && std::fabs(v.data[1]) < 1.0f && std::fabs(v.data[2]) < 1.0f;
}

} // namespace

bool Delaunay3d::Tetrahedron::isLiveInUnitCube() const { return isLive() && insideUnitCube(circumcentre); }

bool Delaunay3d::Tetrahedron::isInCircumcircle(const Vec3& p) const
{
    double det = insphere(p.data, corners[0]->data, corners[1]->data, corners[2]->data, corners[3]->data);
    if (det == 0.0) {
        std::cout << static_cast<const void*>(&p) << " " << static_cast<const void*>(corners[0]) << " "
                  << static_cast<const void*>(corners[1]) << " " << static_cast<const void*>(corners[2]) << " "
                  << static_cast<const void*>(corners[3]) << std::endl;
        VOSTREL_ASSERT(0);
    }
    return det < 0.0;
}

void Delaunay3d::Tetrahedron::update()
{
    const Vec3& c0 = *corners[0];
    Vec3 a = *corners[1] - c0;
    Vec3 b = *corners[2] - c0;
    Vec3 d = *corners[3] - c0;
    Matrix<double, 3, 3> m;
    m.columns[0] = Vec3d(a);
    m.columns[1] = Vec3d(b);
    m.columns[2] = Vec3d(d);
    Matrix<double, 3, 3> inverse;
    if (invertMatrix(m, inverse) == 0) {
        Vec3d half(dot(Vec3d(a), Vec3d(a)) * 0.5, dot(Vec3d(b), Vec3d(b)) * 0.5, dot(Vec3d(d), Vec3d(d)) * 0.5);
        Vec3d offset = half * inverse;
        for (int i = 0; i < 3; ++i)
            circumcentre.data[i] = static_cast<float>(c0.data[i] + offset.data[i]);
    } else {
        // A flat record has no finite sphere; keep it out of the unit cube.
        circumcentre = Vec3(std::numeric_limits<float>::infinity());
    }
    inverted = orient3d(c0.data, corners[1]->data, corners[2]->data, corners[3]->data) > 0.0 ? 1 : 0;
}

void Delaunay3d::Tetrahedron::linkNeighbour(Tetrahedron* other, const Vec3* except)
{
    const Vec3 *o0 = other->corners[0], *o1 = other->corners[1], *o2 = other->corners[2], *o3 = other->corners[3];
    int count = 0;
    for (int i = 0; i < 4; ++i) {
        const Vec3* corner = corners[i];
        bool outside = (corner == except) | ((corner != o0) & (corner != o1) & (corner != o2) & (corner != o3));
        neighbours[i] = outside ? other : neighbours[i];
        count += outside;
    }
    VOSTREL_ASSERT(count==1);
}

void Delaunay3d::Tetrahedron::setNeighbourByFace(Tetrahedron* other, const Vec3* a, const Vec3* b,
                                                 const Vec3* c, const Vec3* base)
{
    int count = 0;
    for (int i = 0; i < 4; ++i) {
        if (corners[i] != a && corners[i] != b && corners[i] != c) {
            neighbours[i] = other;
            ++count;
        }
    }
    if (count != 1) {
        std::cout << (a - base) << " " << (b - base) << " " << (c - base) << "\n"
                  << (corners[0] - base) << " " << (corners[1] - base) << " " << (corners[2] - base) << " "
                  << (corners[3] - base) << std::endl;
        VOSTREL_ASSERT(count==1);
    }
}

void Delaunay3d::Tetrahedron::orientTowards(const Tetrahedron* other)
{
    auto exchange = [this](int i, int j) {
        std::swap(corners[i], corners[j]);
        std::swap(neighbours[i], neighbours[j]);
    };
    // Two exchanges keep the orientation.
    if (neighbours[0] == other) {
        exchange(0, 3);
        exchange(1, 2);
    } else if (neighbours[1] == other) {
        exchange(1, 3);
        exchange(0, 2);
    } else if (neighbours[2] == other) {
        exchange(2, 3);
        exchange(0, 1);
    }
    if (corners[1] == other->corners[0]) {
        exchange(0, 1);
        exchange(1, 2);
    } else if (corners[2] == other->corners[0]) {
        exchange(1, 2);
        exchange(0, 1);
    }
}

Delaunay3d::Delaunay3d() = default;
Delaunay3d::~Delaunay3d() = default;

const Delaunay3d::Tetrahedron& Delaunay3d::record(int index) const
{
    VOSTREL_ASSERT(index >= 0 && index < used);
    return chunks[index >> chunkShift][index & (chunkSize - 1)];
}

int Delaunay3d::recordIndex(const Tetrahedron* t) const
{
    for (size_t chunk = 0; chunk < chunks.size(); ++chunk) {
        const Tetrahedron* start = chunks[chunk].get();
        if (t >= start && t < start + chunkSize)
            return static_cast<int>(chunk << chunkShift) + static_cast<int>(t - start);
    }
    return -1;
}

Delaunay3d::Tetrahedron* Delaunay3d::newRecord()
{
    size_t chunk = static_cast<size_t>(used) >> chunkShift;
    if (chunk == chunks.size())
        chunks.emplace_back(new Tetrahedron[chunkSize]);
    Tetrahedron* t = &chunks[chunk][used & (chunkSize - 1)];
    ++used;
    t->firstWaiting = 0;
    t->waitingCount = 0;
    t->dead = 0;
    t->inverted = 0;
    return t;
}

int Delaunay3d::build(int count, const Vec3* points)
{
    if (count < 4)
        VOSTREL_THROW("Delaunay3d::build: needs at least four points, got " << count);
    if (!points)
        VOSTREL_THROW("Delaunay3d::build: no point array for " << count << " points");
    for (int i = 0; i < count; ++i)
        for (int axis = 0; axis < 3; ++axis)
            if (!(std::fabs(points[i].data[axis]) <= maxCoordinate))
                VOSTREL_THROW("Delaunay3d::build: point " << i << " " << points[i]
                                                          << " is not finite or lies beyond " << maxCoordinate);

    base = points;
    used = 0;
    inserted.clear();
    touched.clear();

    waiting.clear();
    nodes.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        nodes[i] = PointNode{&points[i], nullptr};

    // Fisher-Yates from the top over the shared runtime rand stream; the
    // product is formed in 64 bits as it exceeds an int beyond 65536 points.
    for (int i = count - 1; i >= 1; --i) {
        std::int64_t draw = Runtime::rand();
        int k = static_cast<int>(static_cast<double>(draw * (i + 1)) * static_cast<double>(shuffleScale));
        std::swap(nodes[i].point, nodes[k].point);
    }

    // The first four points twice, with opposite orientations: one of the two
    // is the tetrahedron, the other (inverted) the rest of space.
    Tetrahedron* first = newRecord();
    Tetrahedron* second = newRecord();
    for (int i = 0; i < 4; ++i) {
        first->corners[i] = nodes[i].point;
        second->corners[i] = nodes[i].point;
        first->neighbours[i] = second;
        second->neighbours[i] = first;
    }
    std::swap(second->corners[0], second->corners[1]);

    // Every other point waits in the first record when inside its sphere and
    // in its mirror image otherwise.
    gathered.clear();
    for (int i = 4; i < count; ++i)
        gathered.push_back(i);
    claimers.assign(1, first);
    claimPoints(second);

    inserted.reserve(static_cast<size_t>(count));
    for (int i = 0; i < 4; ++i)
        inserted.push_back(nodes[i].point);
    for (int i = 4; i < count; ++i) {
        PointNode& node = nodes[i];
        inserted.push_back(node.point);
        insertPoint(node.tetrahedron, node.point, i);
    }

    // Nothing during the insertions reads the circumcentre or the inverted
    // flag, and a record's final corners are those of its last change, so
    // they are computed once for the records that remain.
    for (int i = 0; i < used; ++i) {
        Tetrahedron& t = chunks[i >> chunkShift][i & (chunkSize - 1)];
        if (!t.dead)
            t.update();
    }
    return used;
}

void Delaunay3d::insertPoint(Tetrahedron* t, const Vec3* p, int inserting)
{
    // The outer neighbours are relinked below; fetch them while the test runs.
    for (const Tetrahedron* outer : t->neighbours)
        __builtin_prefetch(outer, 1);
    if (!t->isInCircumcircle(*p))
        VOSTREL_THROW("isInCircumcircle(*p) does not hold.");

    // 1-4 split; p becomes corner 3 of every record that contains it.
    const Vec3 *a = t->corners[0], *b = t->corners[1], *c = t->corners[2], *d = t->corners[3];
    Tetrahedron *na = t->neighbours[0], *nb = t->neighbours[1], *nc = t->neighbours[2], *nd = t->neighbours[3];
    Tetrahedron* n0 = newRecord();
    Tetrahedron* n1 = newRecord();
    Tetrahedron* n2 = newRecord();
    *n0 = Tetrahedron{{d, c, b, p}, {t, n2, n1, na}, Vec3(0.0f), 0, 0, 0, 0};
    *n1 = Tetrahedron{{c, d, a, p}, {n2, t, n0, nb}, Vec3(0.0f), 0, 0, 0, 0};
    *n2 = Tetrahedron{{b, a, d, p}, {n1, n0, t, nc}, Vec3(0.0f), 0, 0, 0, 0};
    t->corners[3] = p;
    t->neighbours[0] = n0;
    t->neighbours[1] = n1;
    t->neighbours[2] = n2;
    t->neighbours[3] = nd;

    na->linkNeighbour(n0, p);
    nb->linkNeighbour(n1, p);
    nc->linkNeighbour(n2, p);

    touched.assign({t, n2, n1, n0});

    flipStack.assign({t, n2, n1, n0});
    flipAll();
    redistribute(inserting);
}

// Restores the Delaunay property around the new point. Depth first, in the
// order of the recursive formulation, but on an explicit stack so that a
// large star cannot exhaust the call stack.
void Delaunay3d::flipAll()
{
    while (!flipStack.empty()) {
        Tetrahedron* t = flipStack.back();
        flipStack.pop_back();
        if (t->dead)
            continue;
        const Vec3* p = t->corners[3];
        Tetrahedron* n = t->neighbours[3];
        // Should the face flip, n's outer neighbours get relinked; fetch them
        // while the test runs.
        for (const Tetrahedron* outer : n->neighbours)
            __builtin_prefetch(outer, 1);
        if (n->corners[3] == p) {
            collapse(t, n);
            continue;
        }
        if (!n->isInCircumcircle(*p))
            continue;

        // 2-3 flip of t = (q0, q1, q2, p) and n = (q0, q2, q1, e) around the
        // new edge (e, p).
        n->orientTowards(t);
        const Vec3 *q0 = t->corners[0], *q1 = t->corners[1], *q2 = t->corners[2], *e = n->corners[3];
        Tetrahedron *t0 = t->neighbours[0], *t1 = t->neighbours[1], *t2 = t->neighbours[2];
        Tetrahedron *u0 = n->neighbours[0], *u1 = n->neighbours[1], *u2 = n->neighbours[2];
        Tetrahedron* m = newRecord();
        *m = Tetrahedron{{e, q2, q0, p}, {t1, n, t, u2}, Vec3(0.0f), 0, 0, 0, 0};
        *t = Tetrahedron{{e, q1, q2, p}, {t0, m, n, u0}, Vec3(0.0f), 0, 0, t->firstWaiting, t->waitingCount};
        *n = Tetrahedron{{e, q0, q1, p}, {t2, t, m, u1}, Vec3(0.0f), 0, 0, n->firstWaiting, n->waitingCount};

        t0->linkNeighbour(t, e);
        u0->linkNeighbour(t, p);
        t2->linkNeighbour(n, e);
        u1->linkNeighbour(n, p);
        t1->linkNeighbour(m, e);
        u2->linkNeighbour(m, p);

        touched.push_back(m);
        touched.push_back(n);

        flipStack.push_back(m);
        flipStack.push_back(n);
        flipStack.push_back(t);
    }
}

// t and n have the same four corners (p in corner 3 of both): both go, and
// their outer neighbours are glued to each other across the freed faces.
void Delaunay3d::collapse(Tetrahedron* t, Tetrahedron* n)
{
    t->dead = 1;
    n->dead = 1;
    const Vec3* p = t->corners[3];
    const Vec3** tc = t->corners;
    Tetrahedron** tn = t->neighbours;
    Tetrahedron** nn = n->neighbours;
    auto glue = [this](Tetrahedron* x, Tetrahedron* y, const Vec3* a, const Vec3* b, const Vec3* c) {
        x->setNeighbourByFace(y, a, b, c, base);
    };

    int shared = 0;
    for (int i = 0; i < 3; ++i)
        if (tn[i] == n)
            ++shared;

    if (shared == 2) {
        int i = 0;
        while (tn[i] == n)
            ++i;
        for (int j = 0; j < 3; ++j) {
            if (nn[j] == t)
                continue;
            glue(tn[i], nn[j], p, tc[(i + 1) % 3], tc[(i + 2) % 3]);
            glue(nn[j], tn[i], p, tc[(i + 1) % 3], tc[(i + 2) % 3]);
        }
    } else if (shared == 1) {
        int i = 0;
        while (tn[i] != n)
            ++i;
        int j = 0;
        while (j < 3 && nn[j] != t)
            ++j;
        VOSTREL_ASSERT(j < 3);
        Tetrahedron* firstOuter = tn[(i + 1) % 3];
        Tetrahedron* firstOther = nn[(j + 2) % 3];
        Tetrahedron* secondOuter = tn[(i + 2) % 3];
        Tetrahedron* secondOther = nn[(j + 1) % 3];
        glue(firstOuter, firstOther, p, tc[i], tc[(i + 2) % 3]);
        glue(firstOther, firstOuter, p, tc[i], tc[(i + 2) % 3]);
        glue(secondOuter, secondOther, p, tc[i], tc[(i + 1) % 3]);
        glue(secondOther, secondOuter, p, tc[i], tc[(i + 1) % 3]);
    } else if (shared == 0) {
        int i = 0;
        while (i < 3 && tc[i] != n->corners[0])
            ++i;
        VOSTREL_ASSERT(i < 3);
        int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        glue(tn[i], nn[0], p, tc[i1], tc[i2]);
        glue(tn[i2], nn[1], p, tc[i], tc[i1]);
        glue(tn[i1], nn[2], p, tc[i], tc[i2]);
        glue(nn[0], tn[i], p, tc[i1], tc[i2]);
        glue(nn[1], tn[i2], p, tc[i], tc[i1]);
        glue(nn[2], tn[i1], p, tc[i], tc[i2]);
    }
}

// The points that waited in records this insertion changed go to the first
// surviving touched record (in touched order) whose sphere holds them.
void Delaunay3d::redistribute(int inserting)
{
    gathered.clear();
    claimers.clear();
    for (auto it = touched.rbegin(); it != touched.rend(); ++it) {
        Tetrahedron* t = *it;
        for (int k = t->firstWaiting; k < t->firstWaiting + t->waitingCount; ++k)
            if (waiting[k] != inserting)
                gathered.push_back(waiting[k]);
        t->waitingCount = 0;
        if (!t->dead)
            claimers.push_back(t);
    }
    // Every waiting point must see some new record; anything else is an
    // internal inconsistency.
    if (claimPoints(nullptr) != 0)
        VOSTREL_THROW("other==0 does not hold.");
    if (waiting.size() > 8 * nodes.size() + 4096)
        compactWaiting();
}

// Gives each gathered node to the first of the claimers whose sphere holds
// its point, or to rest (when given) if none does. Returns how many nodes
// found no record.
int Delaunay3d::claimPoints(Tetrahedron* rest)
{
    gatheredPoints.resize(gathered.size());
    for (size_t k = 0; k < gathered.size(); ++k)
        gatheredPoints[k] = *nodes[gathered[k]].point;

    // The claimers' corners four records to a vector, so that the first stage
    // of the in-sphere test runs on four records at once; a lane it cannot
    // decide is settled by the full test, in the same order as one by one.
    claimerLanes.resize((claimers.size() + 3) / 4);
    for (size_t i = 0; i < claimerLanes.size() * 4; ++i) {
        const Tetrahedron* t = claimers[std::min(i, claimers.size() - 1)];
        for (int corner = 0; corner < 4; ++corner)
            for (int axis = 0; axis < 3; ++axis)
                claimerLanes[i / 4].corners[corner][axis][i % 4] = t->corners[corner]->data[axis];
    }
    const Float4 bound = Float4{} + predicateConstants.isperrboundA;
    const int restChoice = static_cast<int>(claimers.size());
    claimCounts.assign(claimers.size() + 1, 0);
    choices.resize(gathered.size());
    int leftOver = 0;
    for (size_t k = 0; k < gathered.size(); ++k) {
        const Vec3& q = gatheredPoints[k];
        const Float4 query[3] = {Float4{} + q.data[0], Float4{} + q.data[1], Float4{} + q.data[2]};
        int choice = -1;
        for (size_t batch = 0; batch < claimerLanes.size() && choice < 0; ++batch) {
            const ClaimerLanes& lanes = claimerLanes[batch];
            Float4 det, permanent;
            insphereEstimate(query, lanes.corners[0], lanes.corners[1], lanes.corners[2], lanes.corners[3], det,
                             permanent);
            Float4 errbound = bound * permanent;
            Int4 inside = -det > errbound, outside = det > errbound;
            for (size_t lane = 0; lane < 4 && batch * 4 + lane < claimers.size(); ++lane) {
                size_t index = batch * 4 + lane;
                if (inside[lane] || (!outside[lane] && claimers[index]->isInCircumcircle(q))) {
                    choice = static_cast<int>(index);
                    break;
                }
            }
        }
        if (choice < 0) {
            if (!rest) {
                ++leftOver;
                continue;
            }
            choice = restChoice;
        }
        choices[k] = choice;
        ++claimCounts[choice];
    }
    if (leftOver)
        return leftOver;

    // Each claimer's nodes become one new slice at the end of the array.
    size_t start = waiting.size();
    for (int c = 0; c <= restChoice; ++c) {
        Tetrahedron* t = c < restChoice ? claimers[c] : rest;
        int claimed = claimCounts[c];
        claimCounts[c] = static_cast<int>(start);
        if (t) {
            t->firstWaiting = static_cast<int>(start);
            t->waitingCount = claimed;
        }
        start += claimed;
    }
    waiting.resize(start);
    for (size_t k = 0; k < gathered.size(); ++k) {
        int c = choices[k];
        waiting[claimCounts[c]++] = gathered[k];
        nodes[gathered[k]].tetrahedron = c < restChoice ? claimers[c] : rest;
    }
    return 0;
}

// Slices of changed records stay behind in the waiting array; drop them once
// they dominate.
void Delaunay3d::compactWaiting()
{
    std::vector<int> kept;
    kept.reserve(nodes.size());
    for (int i = 0; i < used; ++i) {
        Tetrahedron& t = chunks[i >> chunkShift][i & (chunkSize - 1)];
        if (t.dead || t.waitingCount == 0)
            continue;
        int first = static_cast<int>(kept.size());
        kept.insert(kept.end(), waiting.begin() + t.firstWaiting, waiting.begin() + t.firstWaiting + t.waitingCount);
        t.firstWaiting = first;
    }
    waiting.swap(kept);
}

std::vector<std::array<int, 4>> Delaunay3d::tetrahedralize(int count, const Vec3* points)
{
    int records = build(count, points);
    std::vector<std::array<int, 4>> out;
    for (int i = 0; i < records; ++i) {
        const Tetrahedron& t = record(i);
        if (t.isLive())
            out.push_back({pointIndex(t.corners[0]), pointIndex(t.corners[1]), pointIndex(t.corners[2]),
                           pointIndex(t.corners[3])});
    }
    return out;
}

std::vector<std::array<Vec3, 2>> Delaunay3d::voronoiEdges(int count, const Vec3* points)
{
    int records = build(count, points);
    std::vector<std::array<Vec3, 2>> out;
    for (int i = 0; i < records; ++i) {
        const Tetrahedron& a = record(i);
        if (!a.isLiveInUnitCube())
            continue;
        for (const Tetrahedron* b : a.neighbours)
            if (b->isLiveInUnitCube())
                out.push_back({a.circumcentre, b->circumcentre});
    }
    return out;
}

void Delaunay3d::clipSegmentToBox(Vec3& a, Vec3& b)
{
    // Clipping happens in the unit box, one side at a time: the +1 side, then
    // the -1 side with both points mirrored.
    a *= 0.33333334f;
    b *= 0.33333334f;
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i < 3; ++i) {
            if (b.data[i] > 1.0f && a.data[i] < 1.0f) {
                float t = (1.0f - b.data[i]) / (a.data[i] - b.data[i]);
                b += (a - b) * t;
            } else if (a.data[i] > 1.0f && b.data[i] < 1.0f) {
                float t = (1.0f - a.data[i]) / (b.data[i] - a.data[i]);
                a += (b - a) * t;
            }
        }
        a = -a;
        b = -b;
    }
    a *= 3.0f;
    b *= 3.0f;
}

void Delaunay3d::dumpTetrahedra() const { dumpTetrahedra(std::cout); }

void Delaunay3d::dumpTetrahedra(std::ostream& out) const
{
    out << "-----------------------------------------" << std::endl;
    float ordinary = 0.0f, invertedSum = 0.0f;
    for (int i = 0; i < used; ++i) {
        const Tetrahedron& t = record(i);
        if (t.dead)
            continue;
        out << i << ": ";
        for (const Vec3* corner : t.corners)
            out << pointIndex(corner) << " ";
        if (t.inverted)
            out << "inv ";
        out << "[ ";
        for (const Vec3* p : inserted) {
            if (p == t.corners[0] || p == t.corners[1] || p == t.corners[2] || p == t.corners[3])
                continue;
            if (t.isInCircumcircle(*p))
                out << pointIndex(p) << " ";
        }
        out << "] ";
        for (const Tetrahedron* n : t.neighbours)
            out << recordIndex(n) << " ";
        out << std::endl;
        const Vec3& c0 = *t.corners[0];
        float volume = dot(*t.corners[1] - c0, cross(*t.corners[2] - c0, *t.corners[3] - c0));
        (t.inverted ? invertedSum : ordinary) += volume;
    }
    out << "Volumes: " << ordinary << " " << invertedSum << std::endl;
    out << "-----------------------------------------" << std::endl;
}

} // namespace Vostrel
