// Every visit of the host follows one protocol: the filter's 0 lets an item through, the
// action's 0 continues, any other status ends the visit and is its result, -4 when no item.
#include "HostTestSupport.h"
#include "PrintedValue.h"

#include <functional>
#include <ostream>

namespace {

struct Probe {
    std::vector<std::string> seen;
    int filterCalls = 0;
    int skip = -1;   // position (in filter order) that the filter refuses
    int stopAt = -1; // position (in action order) whose action ends the visit
    ProErrors stopStatus = -77;
    ProErrors actionResult() {
        return static_cast<int>(seen.size()) - 1 == stopAt ? stopStatus : PRO_TK_NO_ERROR;
    }
    bool refuseAll = false;
    ProErrors filterResult() { return (filterCalls++ == skip || refuseAll) ? 1 : PRO_TK_NO_ERROR; }
};

Probe& probe(ProAppData d) {
    return *static_cast<Probe*>(d);
}

ProErrors featureAction(ProFeature* f, ProErrors, ProAppData d) {
    probe(d).seen.push_back(std::to_string(f->id));
    return probe(d).actionResult();
}
ProErrors featureFilter(ProFeature*, ProAppData d) {
    return probe(d).filterResult();
}
ProErrors parameterAction(ProParameter* p, ProErrors, ProAppData d) {
    probe(d).seen.push_back(Hostsim::toUtf8(p->id));
    return probe(d).actionResult();
}
ProErrors parameterFilter(ProParameter*, ProAppData d) {
    return probe(d).filterResult();
}
ProErrors surfaceAction(ProSurface s, ProErrors, ProAppData d) {
    probe(d).seen.push_back(std::to_string(Hostsim::Session::active()->surface(s)->id));
    return probe(d).actionResult();
}
ProErrors facetSetAction(ProFacetset* s, ProErrors, ProAppData d) {
    probe(d).seen.push_back(std::to_string(s->id));
    return probe(d).actionResult();
}
ProErrors facetSetFilter(ProFacetset*, ProAppData d) {
    return probe(d).filterResult();
}
ProErrors facetAction(ProFacet* f, ProErrors, ProAppData d) {
    probe(d).seen.push_back(std::to_string(f->index));
    return probe(d).actionResult();
}
ProErrors facetFilter(ProFacet*, ProAppData d) {
    return probe(d).filterResult();
}

// A visit over a model that has three items of the kind, or none.
struct VisitCase {
    const char* name;
    bool hasFilter;
    std::function<ProErrors(Hostsim::Session&, Hostsim::Model&, Probe&, bool useFilter)> run;
    std::vector<std::string> items; // expected keys in order
};

void PrintTo(const VisitCase& c, std::ostream* os) {
    *os << c.name << (c.hasFilter ? ": with a filter" : ": without a filter") << ", items "
        << PrintedValue::texts(c.items);
}

Hostsim::Model& populated(Hostsim::Session& s, bool withItems) {
    Hostsim::Model& part = s.addPart(L"PART");
    if (!withItems) {
        part.addBody(50);
        return part;
    }
    part.addFeature(917, 1);
    part.addFeature(917, 2);
    part.addFeature(917, 3);
    part.parameters = {{L"A", Hostsim::ParameterValue::ofInteger(1)},
                       {L"B", Hostsim::ParameterValue::ofInteger(2)},
                       {L"C", Hostsim::ParameterValue::ofInteger(3)}};
    Hostsim::Body& body = part.addBody(50);
    body.addSurface(34, 11);
    body.addSurface(34, 12);
    body.addSurface(34, 13);
    for (int id : {21, 22, 23}) {
        Hostsim::FacetSet& set = part.addFacetSet(1, id);
        set.facets.resize(id == 21 ? 3 : 0);
    }
    return part;
}

const std::vector<VisitCase>& cases() {
    static const std::vector<VisitCase> all = {
        {"ProSolidFeatVisit",
         true,
         [](Hostsim::Session& s, Hostsim::Model& m, Probe& p, bool f) {
             return ProSolidFeatVisit(s.handle(m), featureAction, f ? featureFilter : nullptr, &p);
         },
         {"1", "2", "3"}},
        {"ProParameterVisit",
         true,
         [](Hostsim::Session& s, Hostsim::Model& m, Probe& p, bool f) {
             ProModelitem item{PRO_PART, 0, s.handle(m)};
             return ProParameterVisit(&item, f ? parameterFilter : nullptr, parameterAction, &p);
         },
         {"A", "B", "C"}},
        {"ProSolidBodySurfaceVisit",
         false,
         [](Hostsim::Session& s, Hostsim::Model& m, Probe& p, bool) {
             ProSolidBody body{PRO_BODY, 50, s.handle(m)};
             return ProSolidBodySurfaceVisit(&body, surfaceAction, &p);
         },
         {"11", "12", "13"}},
        {"ProSolidFacetsetVisit",
         true,
         [](Hostsim::Session& s, Hostsim::Model& m, Probe& p, bool f) {
             return ProSolidFacetsetVisit(s.handle(m), facetSetAction, f ? facetSetFilter : nullptr,
                                          &p);
         },
         {"21", "22", "23"}},
        {"ProFacetsetFacetVisit",
         true,
         [](Hostsim::Session& s, Hostsim::Model& m, Probe& p, bool f) {
             Hostsim::FacetSet* set = m.facetSet(21);
             if (set == nullptr) {
                 set = &m.addFacetSet(0, 21);
             }
             ProFacetset item{PRO_FACET_SET, 21, s.handle(m)};
             return ProFacetsetFacetVisit(&item, facetAction, f ? facetFilter : nullptr, &p);
         },
         {"0", "1", "2"}},
    };
    return all;
}

class VisitProtocol : public ::testing::TestWithParam<VisitCase> {
protected:
    const VisitCase& visit() const { return GetParam(); }
    void TearDown() override {
        EXPECT_TRUE(session.ledger().empty()) << session.ledger().report();
        EXPECT_TRUE(session.ledger().violations().empty()) << session.ledger().report();
    }
    Hostsim::Session session;
    HostTest::RuntimeAttachment runtime{session};
};

TEST_P(VisitProtocol, VisitsEveryItemInOrder) {
    Hostsim::Model& m = populated(session, true);
    Probe p;
    EXPECT_EQ(visit().run(session, m, p, false), PRO_TK_NO_ERROR);
    EXPECT_EQ(p.seen, visit().items);
}

// The visits that take a filter.
class FilteredVisitProtocol : public VisitProtocol {};

TEST_P(FilteredVisitProtocol, TheFilterKeepsAnItemFromTheAction) {
    Hostsim::Model& m = populated(session, true);
    Probe p;
    p.skip = 1;
    EXPECT_EQ(visit().run(session, m, p, true), PRO_TK_NO_ERROR);
    EXPECT_EQ(p.filterCalls, 3);
    EXPECT_EQ(p.seen, (std::vector<std::string>{visit().items[0], visit().items[2]}));
}

TEST_P(VisitProtocol, ANonZeroActionStatusEndsTheVisitAndIsItsResult) {
    Hostsim::Model& m = populated(session, true);
    Probe p;
    p.stopAt = 1;
    p.stopStatus = PRO_TK_E_NOT_FOUND; // even -4 from the action ends it
    EXPECT_EQ(visit().run(session, m, p, false), PRO_TK_E_NOT_FOUND);
    EXPECT_EQ(p.seen, (std::vector<std::string>{visit().items[0], visit().items[1]}));
}

TEST_P(VisitProtocol, NoItemGivesNotFound) {
    Hostsim::Model& m = populated(session, false);
    Probe p;
    EXPECT_EQ(visit().run(session, m, p, false), PRO_TK_E_NOT_FOUND);
    EXPECT_TRUE(p.seen.empty());
}

TEST_P(FilteredVisitProtocol, AllItemsFilteredOutGivesNotFound) {
    Hostsim::Model& m = populated(session, true);
    Probe p;
    p.refuseAll = true;
    EXPECT_EQ(visit().run(session, m, p, true), PRO_TK_E_NOT_FOUND);
    EXPECT_EQ(p.filterCalls, 3);
    EXPECT_TRUE(p.seen.empty());
}

TEST_P(VisitProtocol, AnUnknownOwnerIsRefused) {
    Probe p;
    Hostsim::Model fake;
    fake.session = &session;
    EXPECT_EQ(visit().run(session, fake, p, false), PRO_TK_BAD_INPUTS);
    EXPECT_TRUE(p.seen.empty());
}

std::vector<VisitCase> filteredVisits() {
    std::vector<VisitCase> filtered;
    for (const VisitCase& c : cases()) {
        if (c.hasFilter) {
            filtered.push_back(c);
        }
    }
    return filtered;
}

INSTANTIATE_TEST_SUITE_P(Host, VisitProtocol, ::testing::ValuesIn(cases()),
                         PrintedValue::caseName<VisitCase>);
INSTANTIATE_TEST_SUITE_P(Host, FilteredVisitProtocol, ::testing::ValuesIn(filteredVisits()),
                         PrintedValue::caseName<VisitCase>);

} // namespace
