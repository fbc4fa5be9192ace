// CTI and attribute parameters through the stand-in host: name matching, value texts, entry
// scopes, and the CTI search of surfaces and facet sets along their feature chain.
#include "ParameterSearch.h"
#include "ExtractionTestSupport.h"

#include <optional>

namespace {

using ExtractionTest::cti;
using ExtractionTest::parameter;
using Hostsim::ParameterValue;
using KorvaneGeometry::PartAttribute;
using Velmora::ParameterScope;
using Velmora::readParameterEntries;

std::vector<std::pair<std::wstring, std::wstring>> texts(const std::vector<PartAttribute>& list) {
    std::vector<std::pair<std::wstring, std::wstring>> out;
    for (const PartAttribute& a : list) {
        out.emplace_back(a.name, a.value);
    }
    return out;
}

class EntryLoopTest : public ExtractionTest::ContextTest {
protected:
    Hostsim::Model& part = session.addPart(L"P");

    ProModelitem item() {
        ProModelitem i{};
        EXPECT_EQ(ProMdlToModelitem(session.handle(part), &i), PRO_TK_NO_ERROR);
        return i;
    }
    ProErrors read(ParameterScope scope = ParameterScope::PartOrBody) {
        ProModelitem i = item();
        return readParameterEntries(i, scope, &foundCti, attributes);
    }

    int foundCti = 77;
    std::vector<PartAttribute> attributes;
};

struct CtiCase {
    const char* label;
    std::wstring name;
    ParameterValue value;
    int expected;
};

TEST_F(EntryLoopTest, CtiNeedsTheExactNameAnIntegerAndIsClamped) {
    const CtiCase cases[] = {
        {"zero", L"COMPARATIVE_TRACKING_INDEX", ParameterValue::ofInteger(0), 0},
        {"upper bound", L"COMPARATIVE_TRACKING_INDEX", ParameterValue::ofInteger(1000), 1000},
        {"above", L"COMPARATIVE_TRACKING_INDEX", ParameterValue::ofInteger(1500), 1000},
        {"negative", L"COMPARATIVE_TRACKING_INDEX", ParameterValue::ofInteger(-5), -1},
        {"inside", L"COMPARATIVE_TRACKING_INDEX", ParameterValue::ofInteger(600), 600},
        {"other case", L"comparative_tracking_index", ParameterValue::ofInteger(600), -1},
        {"suffix", L"COMPARATIVE_TRACKING_INDEX_2", ParameterValue::ofInteger(600), -1},
        {"prefix", L"COMPARATIVE_TRACKING_INDE", ParameterValue::ofInteger(600), -1},
        {"double", L"COMPARATIVE_TRACKING_INDEX", ParameterValue::ofDouble(600.0), -1},
        {"string", L"COMPARATIVE_TRACKING_INDEX", ParameterValue::ofText(L"600"), -1},
        {"boolean", L"COMPARATIVE_TRACKING_INDEX", ParameterValue::ofBoolean(true), -1},
        {"type 54", L"COMPARATIVE_TRACKING_INDEX", ParameterValue::ofNote(600), -1},
    };
    for (const CtiCase& c : cases) {
        SCOPED_TRACE(c.label);
        part.parameters = {parameter(L"OTHER", ParameterValue::ofInteger(5)),
                           parameter(c.name, c.value)};
        foundCti = 77;
        attributes.clear();
        EXPECT_EQ(read(), PRO_TK_NO_ERROR);
        EXPECT_EQ(foundCti, c.expected);
        EXPECT_TRUE(attributes.empty());
    }
}

TEST_F(EntryLoopTest, AConfiguredCtiNameIsUsedAsGiven) {
    options.ctiParameter = L"CTI";
    part.parameters = {cti(300), cti(450, L"CTI")};
    EXPECT_EQ(read(), PRO_TK_NO_ERROR);
    EXPECT_EQ(foundCti, 450);
}

struct ValueCase {
    const char* label;
    ParameterValue value;
    std::optional<std::wstring> expected;
};

TEST_F(EntryLoopTest, AttributeTextsByValueType) {
    const ValueCase cases[] = {
        {"double", ParameterValue::ofDouble(2.5), L"2.500000"},
        {"negative double", ParameterValue::ofDouble(-0.125), L"-0.125000"},
        {"integer", ParameterValue::ofInteger(-42), L"-42"},
        {"zero", ParameterValue::ofInteger(0), L"0"},
        {"string", ParameterValue::ofText(L"abc"), L"abc"},
        {"empty string", ParameterValue::ofText(L""), std::nullopt},
        {"boolean", ParameterValue::ofBoolean(true), std::nullopt},
        {"note", ParameterValue::ofNote(3), std::nullopt},
        {"type 57", ParameterValue::ofType(57, 3), std::nullopt},
    };
    options.importAttributes = {{L"MATERIAL", 0}};
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.label);
        part.parameters = {parameter(L"MATERIAL", c.value)};
        attributes.clear();
        EXPECT_EQ(read(), PRO_TK_NO_ERROR);
        if (c.expected) {
            EXPECT_EQ(texts(attributes), (std::vector<std::pair<std::wstring, std::wstring>>{
                                             {L"MATERIAL", *c.expected}}));
        } else {
            EXPECT_TRUE(attributes.empty());
        }
        EXPECT_EQ(foundCti, -1);
    }
}

TEST_F(EntryLoopTest, AttributeNamesMatchExactly) {
    session.recordCalls();
    options.importAttributes = {{L"MATERIAL", 0}};
    part.parameters = {parameter(L"material", ParameterValue::ofText(L"steel")),
                       parameter(L"MATERIAL_2", ParameterValue::ofText(L"steel"))};
    EXPECT_EQ(read(), PRO_TK_NO_ERROR);
    EXPECT_TRUE(attributes.empty());
    EXPECT_EQ(session.log().count("ProParameterValueWithUnitsGet"), 0);
}

TEST_F(EntryLoopTest, ScopesDecideWhichEntriesReachAnItem) {
    session.recordCalls();
    options.importAttributes = {{L"A", 0}, {L"B", 1}, {L"C", 2}};
    part.parameters = {parameter(L"C", ParameterValue::ofText(L"c")),
                       parameter(L"B", ParameterValue::ofText(L"b")),
                       parameter(L"A", ParameterValue::ofText(L"a")), cti(20)};

    EXPECT_EQ(read(ParameterScope::PartOrBody), PRO_TK_NO_ERROR);
    EXPECT_EQ(texts(attributes),
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"A", L"a"}, {L"C", L"c"}}));
    EXPECT_EQ(foundCti, 20);
    EXPECT_EQ(session.log().count("ProParameterVisit"), 3); // the CTI entry, A and C

    session.log().clear();
    attributes.clear();
    foundCti = 77;
    EXPECT_EQ(read(ParameterScope::AssemblyNode), PRO_TK_NO_ERROR);
    EXPECT_EQ(texts(attributes),
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"B", L"b"}, {L"C", L"c"}}));
    EXPECT_EQ(foundCti, 77); // the node has no CTI
    EXPECT_EQ(session.log().count("ProParameterVisit"), 2);
}

TEST_F(EntryLoopTest, AMissingEntryAddsNothingAndTheNextIsStillSearched) {
    options.importAttributes = {{L"MISSING", 0}, {L"FOUND", 2}, {L"FOUND", 0}};
    part.parameters = {parameter(L"FOUND", ParameterValue::ofInteger(7))};
    EXPECT_EQ(read(), PRO_TK_NO_ERROR);
    // The same name twice gives two attributes; nothing of one entry leaks into the next.
    EXPECT_EQ(texts(attributes), (std::vector<std::pair<std::wstring, std::wstring>>{
                                     {L"FOUND", L"7"}, {L"FOUND", L"7"}}));
}

TEST_F(EntryLoopTest, AnItemWithoutParametersGivesNothing) {
    options.importAttributes = {{L"A", 0}};
    EXPECT_EQ(read(), PRO_TK_NO_ERROR); // every visit answers PRO_TK_E_NOT_FOUND
    EXPECT_EQ(foundCti, -1);
    EXPECT_TRUE(attributes.empty());
}

TEST_F(EntryLoopTest, AFailingValueReadEndsTheVisitWithItsStatus) {
    options.importAttributes = {{L"A", 0}};
    part.parameters = {parameter(L"A", ParameterValue::ofText(L"a")), cti(5)};
    session.faults().forItem("ProParameterValueWithUnitsGet", "P#0:A", -17);
    EXPECT_EQ(read(), -17);
    EXPECT_TRUE(attributes.empty());
    EXPECT_EQ(foundCti, 5); // the CTI entry had been read already

    session.faults().clear();
    session.faults().forItem("ProParameterValueWithUnitsGet", "P#0:COMPARATIVE_TRACKING_INDEX", -3);
    foundCti = 77;
    EXPECT_EQ(read(), -3);
    EXPECT_EQ(foundCti, 77);
}

TEST_F(EntryLoopTest, AVisitStatusOtherThanNotFoundEndsTheLoop) {
    session.recordCalls();
    options.importAttributes = {{L"A", 0}, {L"B", 0}};
    part.parameters = {parameter(L"A", ParameterValue::ofText(L"a")),
                       parameter(L"B", ParameterValue::ofText(L"b"))};
    session.faults().onCall("ProParameterVisit", 2, PRO_TK_E_NOT_FOUND);
    EXPECT_EQ(read(), PRO_TK_NO_ERROR);
    EXPECT_EQ(texts(attributes),
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"B", L"b"}}));

    attributes.clear();
    session.faults().onCall("ProParameterVisit", 2, PRO_TK_BAD_CONTEXT);
    EXPECT_EQ(read(), PRO_TK_BAD_CONTEXT);
    EXPECT_TRUE(attributes.empty());
    EXPECT_EQ(session.log().count("ProParameterVisit"), 3 + 2);
}

TEST_F(EntryLoopTest, VisitParameterWithoutDataLooksForTheCti) {
    part.parameters = {cti(321)};
    ProModelitem i = item();
    context().foundCti = -1;
    EXPECT_EQ(ProParameterVisit(&i, nullptr, Velmora::visitParameter, nullptr), PRO_TK_NO_ERROR);
    EXPECT_EQ(context().foundCti, 321);
    // The first hit stays.
    part.parameters = {cti(5)};
    EXPECT_EQ(ProParameterVisit(&i, nullptr, Velmora::visitParameter, nullptr), PRO_TK_NO_ERROR);
    EXPECT_EQ(context().foundCti, 321);
}

TEST_F(EntryLoopTest, AnEntryIndexOutsideTheListIsRefused) {
    part.parameters = {cti(1)};
    ProModelitem i = item();
    int index = 3;
    EXPECT_EQ(ProParameterVisit(&i, nullptr, Velmora::visitParameter, &index), PRO_TK_BAD_INPUTS);
}

// A part whose surface was made by feature F with parents P1 (first) and P2 (last); P1 has a
// parent G of its own.
class GeometryCtiTest : public ExtractionTest::ContextTest {
protected:
    Hostsim::Model& part = session.addPart(L"P");
    Hostsim::Feature& grandparent = part.addFeature(917);
    Hostsim::Feature& firstParent = part.addFeature(917);
    Hostsim::Feature& lastParent = part.addFeature(917);
    Hostsim::Feature& feature = part.addFeature(917);
    Hostsim::Body& hostBody = part.addBody();
    Hostsim::Surface& surface =
        HostTest::addTriangleSurface(hostBody, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    Hostsim::FacetSet& facetSet = part.addFacetSet();

    void SetUp() override {
        ContextTest::SetUp();
        firstParent.parents = {grandparent.id};
        feature.parents = {firstParent.id, lastParent.id};
        surface.featureId = feature.id;
        facetSet.featureId = feature.id;
        part.parameters = {cti(900)}; // the part's CTI never reaches its geometry
    }

    ProErrors lookup(ProType type, int id, bool ownFirst, int& result, int bodyCti) {
        enterBody(part, "mm", bodyCti);
        ProGeomitem item{type, id, session.handle(part)};
        ProErrors status = Velmora::lookupGeometryCti(item, ownFirst, result);
        leaveBody();
        return status;
    }
};

struct GeometryCtiCase {
    const char* label;
    std::optional<int> own, ofFeature, ofFirstParent, ofLastParent, ofGrandparent;
    int bodyCti;
    int expected;
};

TEST_F(GeometryCtiTest, PrecedenceOfASurfacesCti) {
    const std::optional<int> none;
    const GeometryCtiCase cases[] = {
        {"own over feature", 7, 9, none, none, none, -1, 7},
        {"feature", none, 9, 300, 400, none, -1, 9},
        {"negative own takes the feature's", -3, 9, none, none, none, -1, 9},
        {"last parent over first", none, none, 300, 400, none, -1, 400},
        {"first parent", none, none, 300, none, none, -1, 300},
        {"last parent alone", none, none, none, 400, none, -1, 400},
        {"parents before the body", none, none, 300, none, none, 250, 300},
        {"grandparents are not searched", none, none, none, none, 800, 250, 250},
        {"body fallback", none, none, none, none, none, 250, 250},
        {"never the part's", none, none, none, none, none, -1, -1},
        {"clamped own", 1500, 9, none, none, none, -1, 1000},
        {"zero counts", 0, 9, none, none, none, -1, 0},
    };
    for (const GeometryCtiCase& c : cases) {
        SCOPED_TRACE(c.label);
        auto set = [](std::vector<Hostsim::Parameter>& list, std::optional<int> v) {
            list.clear();
            if (v) {
                list.push_back(cti(*v));
            }
        };
        set(surface.parameters, c.own);
        set(feature.parameters, c.ofFeature);
        set(firstParent.parameters, c.ofFirstParent);
        set(lastParent.parameters, c.ofLastParent);
        set(grandparent.parameters, c.ofGrandparent);
        int result = 55;
        EXPECT_EQ(lookup(PRO_SURFACE, surface.id, true, result, c.bodyCti), PRO_TK_NO_ERROR);
        EXPECT_EQ(result, c.expected);
    }
}

TEST_F(GeometryCtiTest, TheSearchStopsAtTheFirstParentThatHasOne) {
    session.recordCalls();
    lastParent.parameters = {cti(400)};
    firstParent.parameters = {cti(300)};
    int result = 55;
    EXPECT_EQ(lookup(PRO_SURFACE, surface.id, true, result, -1), PRO_TK_NO_ERROR);
    EXPECT_EQ(result, 400);
    EXPECT_EQ(session.log().count("ProFeatureInit"), 1);
    EXPECT_EQ(session.log()
                  .calls()[static_cast<std::size_t>(session.log().indexOf("ProFeatureInit"))]
                  .item,
              "P#" + std::to_string(lastParent.id));
}

TEST_F(GeometryCtiTest, AnOwnCtiOfAnotherTypeIsIgnored) {
    surface.parameters = {parameter(L"COMPARATIVE_TRACKING_INDEX", ParameterValue::ofDouble(7.0))};
    feature.parameters = {cti(9)};
    int result = 55;
    EXPECT_EQ(lookup(PRO_SURFACE, surface.id, true, result, -1), PRO_TK_NO_ERROR);
    EXPECT_EQ(result, 9);
}

TEST_F(GeometryCtiTest, AFacetSetStartsWithItsFeature) {
    facetSet.parameters = {cti(7)};
    feature.parameters = {cti(9)};
    int result = 55;
    EXPECT_EQ(lookup(PRO_FACET_SET, facetSet.id, false, result, -1), PRO_TK_NO_ERROR);
    EXPECT_EQ(result, 9);

    feature.parameters.clear();
    EXPECT_EQ(lookup(PRO_FACET_SET, facetSet.id, false, result, 250), PRO_TK_NO_ERROR);
    EXPECT_EQ(result, 250);
}

struct NotFoundCase {
    const char* label;
    const char* function;
    std::string item; // empty: every call
    std::optional<int> ofFeature;
    int expected;
};

TEST_F(GeometryCtiTest, WhatTheHostDoesNotFindIsNotSearched) {
    firstParent.parameters = {cti(300)};
    lastParent.parameters = {cti(400)};
    const NotFoundCase cases[] = {
        {"the making feature", "ProGeomitemFeatureGet", "", 9, 250},
        {"the parent list", "ProFeatureParentsGet", "", std::nullopt, 250},
        {"the last parent", "ProFeatureInit", "P#" + std::to_string(lastParent.id), std::nullopt,
         300},
        {"every parent", "ProFeatureInit", "", std::nullopt, 250},
    };
    for (const NotFoundCase& c : cases) {
        SCOPED_TRACE(c.label);
        session.faults().clear();
        if (c.item.empty()) {
            session.faults().always(c.function, PRO_TK_E_NOT_FOUND);
        } else {
            session.faults().forItem(c.function, c.item, PRO_TK_E_NOT_FOUND);
        }
        feature.parameters.clear();
        if (c.ofFeature) {
            feature.parameters.push_back(cti(*c.ofFeature));
        }
        for (ProType type : {PRO_SURFACE, PRO_FACET_SET}) {
            const int id = type == PRO_SURFACE ? surface.id : facetSet.id;
            int result = 55;
            EXPECT_EQ(lookup(type, id, type == PRO_SURFACE, result, 250), PRO_TK_NO_ERROR);
            EXPECT_EQ(result, c.expected);
            expectLedgerClean();
        }
    }
}

struct LookupFault {
    const char* function;
    std::string item; // empty: every call
    ProErrors status;
    std::size_t leftOutstanding; // blocks the failed release leaves behind
};

TEST_F(GeometryCtiTest, EveryFailureIsHandedBackAndTheParentIdsAreReleased) {
    const std::string parentKey = "P#" + std::to_string(lastParent.id);
    const LookupFault faults[] = {
        {"ProParameterVisit", "P#" + std::to_string(surface.id), -2, 0},
        {"ProGeomitemFeatureGet", "", -1, 0},
        {"ProParameterVisit", "P#" + std::to_string(feature.id), -8, 0},
        {"ProFeatureParentsGet", "", -1, 0},
        {"ProFeatureInit", "", -1, 0},
        {"ProParameterVisit", parentKey, -2, 0},
        {"ProArrayFree", "", -2, 1},
    };
    for (const LookupFault& f : faults) {
        SCOPED_TRACE(std::string(f.function) + " " + f.item);
        session.faults().clear();
        if (f.item.empty()) {
            session.faults().always(f.function, f.status);
        } else {
            session.faults().forItem(f.function, f.item, f.status);
        }
        int result = 55;
        EXPECT_EQ(lookup(PRO_SURFACE, surface.id, true, result, 250), f.status);
        EXPECT_EQ(result, 55);
        EXPECT_EQ(session.ledger().outstanding(), f.leftOutstanding);
        session.ledger().reset();
    }
}

} // namespace
