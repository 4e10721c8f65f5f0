// The sample project's EAF task melted under several settings, each result
// held to the values the solver gave when they were recorded, to a relative
// 1e-10. The project is a frozen copy of the shipped sample (fixture folder
// sample-melt), so that revisions of the shipped data do not move the
// pinned values. The solver stops once its steps fall below 1e-10, so work
// on its arithmetic (another exponential, a table derived from a nearby
// temperature, a sum in another order) may move a result within that, with
// the heat balance's numerical derivatives amplifying last-place changes to
// about 1e-12; a changed iteration count, a lost clamp or a reordered step
// moves results far more, and shows here long before it shows in the
// plausibility tests.

#include "Constraints.h"
#include "ForwardProblem.h"
#include "LoaderTestSupport.h"
#include "Optimiser.h"
#include "RecordingHost.h"
#include "RunState.h"
#include "SampleProjectSupport.h"
#include "SimplexLP.h"
#include "SystemSetup.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace ferrolyt::test {
namespace {

struct TPinned {
    const char* Name;
    long double Value;
};

constexpr long double PinnedTolerance = 1e-10L;

class SampleMeltRegression : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        UseSampleSolutionSettings();
        Settings.AutoOxygen = true;
        const std::filesystem::path fixture = std::filesystem::path(FERROLYT_FIXTURES) / "sample-melt";
        for (const auto& file : std::filesystem::directory_iterator(fixture))
            std::filesystem::copy_file(file.path(), project_ / file.path().filename().string());
        ASSERT_TRUE(LoadProject((project_ / "FERROLYT.FWP").string()));
        ASSERT_EQ(TaskList.Current, 0);
    }

    static long double ElementValue(const TThSys& sys, const char* symbol, long double TElementRecord::*field)
    {
        const int i = sys.Elems->IndexOfSymbol(symbol);
        EXPECT_GE(i, 0) << symbol;
        return i < 0 ? 0.0L : sys.El(i).*field;
    }

    // What a melt leaves in both systems: phases, solver variables, heat,
    // a few analyses and sensitivities.
    static std::vector<TPinned> MeltResults()
    {
        std::vector<TPinned> r;
        for (int k = 0; k < 2; ++k) {
            const TThSys& s = *ThSystems[static_cast<std::size_t>(k)];
            const bool lower = k == 0;
            r.push_back({lower ? "lower T" : "upper T", s.Temperature});
            r.push_back({lower ? "lower metal mass" : "upper metal mass", s.MetalMass});
            r.push_back({lower ? "lower slag mass" : "upper slag mass", s.SlagMass});
            r.push_back({lower ? "lower gas mass" : "upper gas mass", s.GasMass});
            r.push_back({lower ? "lower ln metal/slag" : "upper ln metal/slag", s.LnMetalSlag});
            r.push_back({lower ? "lower ln metal/gas" : "upper ln metal/gas", s.LnMetalGas});
            r.push_back({lower ? "lower slag potential" : "upper slag potential", s.SlagPotential});
            r.push_back({lower ? "lower gas pressure" : "upper gas pressure", s.GasPressureSum});
            r.push_back({lower ? "lower heat" : "upper heat", s.Heat.H[phTotal]});
            r.push_back({lower ? "lower basicity" : "upper basicity", s.Basicity});
            r.push_back({lower ? "lower [C]" : "upper [C]", ElementValue(s, "C", &TElementRecord::MetalFraction)});
            r.push_back({lower ? "lower [O]" : "upper [O]", ElementValue(s, "O", &TElementRecord::MetalFraction)});
            r.push_back({lower ? "lower [Mn]" : "upper [Mn]", ElementValue(s, "Mn", &TElementRecord::MetalFraction)});
            r.push_back({lower ? "lower [S]" : "upper [S]", ElementValue(s, "S", &TElementRecord::MetalFraction)});
            r.push_back({lower ? "lower (FeO)" : "upper (FeO)",
                         ElementValue(s, "Fe", &TElementRecord::SlagCompoundFraction)});
            const int c = s.Elems->IndexOfSymbol("C");
            const int o = s.Elems->IndexOfSymbol("O");
            r.push_back({lower ? "lower d[C]/dO" : "upper d[C]/dO",
                         ElementEffectsOnMetal[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)]
                                              [static_cast<std::size_t>(o)]});
        }
        return r;
    }

    static void ExpectPinned(const std::vector<TPinned>& actual, const std::vector<TPinned>& expected)
    {
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t k = 0; k < actual.size(); ++k) {
            SCOPED_TRACE(expected[k].Name);
            ASSERT_STREQ(actual[k].Name, expected[k].Name);
            const long double a = actual[k].Value, e = expected[k].Value;
            EXPECT_LE(std::fabs(a - e), PinnedTolerance * std::fabs(e))
                << "got " << static_cast<double>(a) << ", pinned " << static_cast<double>(e) << ", relative "
                << static_cast<double>(std::fabs(a - e) / std::fabs(e));
        }
    }

    ScratchFolder project_;
    RecordingHost host_;
};

TEST_F(SampleMeltRegression, MeltAtTheTaskTemperature)
{
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1913.15000000000000002L},
        {"lower metal mass", 100.413254345229046305L},
        {"lower slag mass", 4.92032466443624312471L},
        {"lower gas mass", 3.65694146436054468821L},
        {"lower ln metal/slag", 2.27232034984902414977L},
        {"lower ln metal/gas", 1.9345018292933661557L},
        {"lower slag potential", 2.97276475588159673708L},
        {"lower gas pressure", 0.999999999924082428129L},
        {"lower heat", -51404.6060615378678449L},
        {"lower basicity", 2.4556374789281427216L},
        {"lower [C]", 0.000286850672827806419616L},
        {"lower [O]", 0.000823861274588374761869L},
        {"lower [Mn]", 0.000524602344688872116448L},
        {"lower [S]", 0.000182581164309545793575L},
        {"lower (FeO)", 0.172406824794822760677L},
        {"lower d[C]/dO", -0.00639553698443436700228L},
        {"upper T", 1913.15000000000000002L},
        {"upper metal mass", 100.054619974356097466L},
        {"upper slag mass", 5.26309054569412871055L},
        {"upper gas mass", 3.97987040304616704854L},
        {"upper ln metal/slag", 2.1662984636079781794L},
        {"upper ln metal/gas", 1.84071841577334490098L},
        {"upper slag potential", 3.29358975870508624909L},
        {"upper gas pressure", 1.00000000009135877048L},
        {"upper heat", -58544.2652260444630627L},
        {"upper basicity", 1.97467274715900360836L},
        {"upper [C]", 0.000530547498644387896887L},
        {"upper [O]", 0.000443968071681302504463L},
        {"upper [Mn]", 0.00129514874734624036213L},
        {"upper [S]", 0.000269221533503869239561L},
        {"upper (FeO)", 0.0766678866060950908894L},
        {"upper d[C]/dO", -0.0109647108019821939935L},
    });
}

TEST_F(SampleMeltRegression, MeltingAgainGivesTheSameBits)
{
    // Nothing the first melt leaves behind (slag potential, kept tables, a
    // table to derive others from) may reach the second one's results.
    Settings.FinalTempMode = 1;
    ASSERT_TRUE(MeltForward().BothConverged);
    const std::vector<TPinned> first = MeltResults();
    for (int again = 0; again < 2; ++again) {
        ASSERT_TRUE(MeltForward().BothConverged);
        const std::vector<TPinned> next = MeltResults();
        ASSERT_EQ(next.size(), first.size());
        for (std::size_t k = 0; k < first.size(); ++k)
            EXPECT_EQ(0, std::memcmp(&next[k].Value, &first[k].Value, 10)) << first[k].Name;
    }
}

TEST_F(SampleMeltRegression, MeltWithTheHeatBalance)
{
    Settings.FinalTempMode = 1;
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1638.66749037382722842L},
        {"lower metal mass", 100.345515890596058417L},
        {"lower slag mass", 4.98858413093430175765L},
        {"lower gas mass", 3.65642045249547395481L},
        {"lower ln metal/slag", 2.25957845446856387837L},
        {"lower ln metal/gas", 1.93598299063864472287L},
        {"lower slag potential", 3.52477289341653728821L},
        {"lower gas pressure", 0.999999999900657550098L},
        {"lower heat", -54585.6254295084229753L},
        {"lower basicity", 2.44725649279743186128L},
        {"lower [C]", 0.00061550797287300127105L},
        {"lower [O]", 0.000288200266674967829747L},
        {"lower [Mn]", 8.14137546731677207694e-05L},
        {"lower [S]", 0.000181174028132381740669L},
        {"lower (FeO)", 0.167794500601790223508L},
        {"lower d[C]/dO", -0.0139127125690246725499L},
        {"upper T", 1790.18176459428712433L},
        {"upper metal mass", 99.9938237384562933208L},
        {"upper slag mass", 5.37164916852046303531L},
        {"upper gas mass", 3.93210801611963688042L},
        {"upper ln metal/slag", 2.14693686441612309663L},
        {"upper ln metal/gas", 1.85234025202105996577L},
        {"upper slag potential", 3.5503520858648198056L},
        {"upper gas pressure", 1.00000000008777619408L},
        {"upper heat", -60274.3177627195925439L},
        {"upper basicity", 1.95805507657830301933L},
        {"upper [C]", 0.000777478548838478822873L},
        {"upper [O]", 0.000273673296752102404356L},
        {"upper [Mn]", 0.000677003388864503647542L},
        {"upper [S]", 0.000259443481766607012402L},
        {"upper (FeO)", 0.0688545837242990952753L},
        {"upper d[C]/dO", -0.0163834912485477666026L},
    });
}

TEST_F(SampleMeltRegression, MeltWithTheSimplifiedHeatBalance)
{
    Settings.FinalTempMode = 2;
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1638.66749034479601177L},
        {"lower metal mass", 100.345515890641661126L},
        {"lower slag mass", 4.98858413087406456438L},
        {"lower gas mass", 3.65642045251010845003L},
        {"lower ln metal/slag", 2.25957845447359225474L},
        {"lower ln metal/gas", 1.93598299063935378795L},
        {"lower slag potential", 3.524772893522254491L},
        {"lower gas pressure", 0.999999999902895048262L},
        {"lower heat", -54585.6254298762057751L},
        {"lower basicity", 2.44725649279734864205L},
        {"lower [C]", 0.000615507972977160174967L},
        {"lower [O]", 0.000288200266617700337224L},
        {"lower [Mn]", 8.14137546533088472186e-05L},
        {"lower [S]", 0.00018117402813041342778L},
        {"lower (FeO)", 0.167794500592416901755L},
        {"lower d[C]/dO", -0.0139127125713754996482L},
        {"upper T", 1790.18176460203936351L},
        {"upper metal mass", 99.9938237384598406846L},
        {"upper slag mass", 5.37164916851992631838L},
        {"upper gas mass", 3.9321080161166262494L},
        {"upper ln metal/slag", 2.14693686441798222038L},
        {"upper ln metal/gas", 1.85234025201971187497L},
        {"upper slag potential", 3.55035208584484062821L},
        {"upper gas pressure", 1.00000000008441758002L},
        {"upper heat", -60274.3177625948061369L},
        {"upper basicity", 1.95805507657893048822L},
        {"upper [C]", 0.000777478548810343730492L},
        {"upper [O]", 0.000273673296763157138024L},
        {"upper [Mn]", 0.000677003388905774803107L},
        {"upper [S]", 0.000259443481767085789517L},
        {"upper (FeO)", 0.068854583724568376475L},
        {"upper d[C]/dO", -0.0163834912479577201346L},
    });
}

TEST_F(SampleMeltRegression, MeltByTheDampedChain)
{
    Settings.BetterConvergence = true;
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1913.15000000000000002L},
        {"lower metal mass", 100.413254345503668678L},
        {"lower slag mass", 4.92032466441138273405L},
        {"lower gas mass", 3.6569414641107827104L},
        {"lower ln metal/slag", 2.27232034982655378068L},
        {"lower ln metal/gas", 1.93450182938144588693L},
        {"lower slag potential", 2.97276475603327263548L},
        {"lower gas pressure", 0.999999999987412306688L},
        {"lower heat", -51404.6060605879049525L},
        {"lower basicity", 2.45563747893297409865L},
        {"lower [C]", 0.000286850672894013546304L},
        {"lower [O]", 0.000823861274441320049625L},
        {"lower [Mn]", 0.000524602344812569806445L},
        {"lower [S]", 0.000182581164294698491287L},
        {"lower (FeO)", 0.172406824738414006152L},
        {"lower d[C]/dO", -0.00639553698635587733887L},
        {"upper T", 1913.15000000000000002L},
        {"upper metal mass", 100.054619973494768922L},
        {"upper slag mass", 5.26309054612564151347L},
        {"upper gas mass", 3.97987040347598280379L},
        {"upper ln metal/slag", 2.16629846365368156861L},
        {"upper ln metal/gas", 1.84071841560897079128L},
        {"upper slag potential", 3.29358975789404104565L},
        {"upper gas pressure", 0.999999999974562362815L},
        {"upper heat", -58544.2652308359739664L},
        {"upper basicity", 1.97467274709283231629L},
        {"upper [C]", 0.000530547497832280332933L},
        {"upper [O]", 0.000443968072306725987073L},
        {"upper [Mn]", 0.00129514874573923336182L},
        {"upper [S]", 0.000269221533687996599044L},
        {"upper (FeO)", 0.0766678867336542334594L},
        {"upper d[C]/dO", -0.0109647107840101293594L},
    });
}

TEST_F(SampleMeltRegression, MeltWithThePairSlagModel)
{
    Settings.SlagModel = 1;
    Settings.FinalTempMode = 1;
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1655.67109276267262563L},
        {"lower metal mass", 100.184746973169973745L},
        {"lower slag mass", 5.20213191475510922362L},
        {"lower gas mass", 3.60364158610075114393L},
        {"lower ln metal/slag", 2.2271588788515567232L},
        {"lower ln metal/gas", 1.94803431539323611494L},
        {"lower slag potential", 3.8283269759205714039L},
        {"lower gas pressure", 1.00000000009112234686L},
        {"lower heat", -57397.6184897573036352L},
        {"lower basicity", 2.44709499493961389399L},
        {"lower [C]", 0.00069520806974416546736L},
        {"lower [O]", 0.000263591615397068569L},
        {"lower [Mn]", 4.86629499727138184709e-05L},
        {"lower [S]", 0.000183865452618063226426L},
        {"lower (FeO)", 0.20199931837132529862L},
        {"lower d[C]/dO", -0.0156692971046183091359L},
        {"upper T", 1804.55203860667775895L},
        {"upper metal mass", 99.8731566064407558433L},
        {"upper slag mass", 5.52017918536558106638L},
        {"upper gas mass", 3.90424513129005634456L},
        {"upper ln metal/slag", 2.12953015373311927263L},
        {"upper ln metal/gas", 1.85817832373475491572L},
        {"upper slag potential", 3.85358877152905641224L},
        {"upper gas pressure", 1.00000000008961299172L},
        {"upper heat", -63438.4372380538374934L},
        {"upper basicity", 1.95384314711963113685L},
        {"upper [C]", 0.000848556983292319687532L},
        {"upper [O]", 0.000255244165038055126463L},
        {"upper [Mn]", 0.000450700708629903849298L},
        {"upper [S]", 0.000272489873031591863916L},
        {"upper (FeO)", 0.100163445622478604821L},
        {"upper d[C]/dO", -0.0177377109983779103149L},
    });
}

TEST_F(SampleMeltRegression, MeltWithInclusions)
{
    Settings.CalcNmi = true;
    Settings.InitialExoNmiShare = 5;
    Settings.ExoNmiRadius = 5;
    Settings.AutoNmiRadius = true;
    Settings.EndoNmiMultiple = 2;
    Settings.NmiTemp = 1550;
    ASSERT_TRUE(MeltForward().BothConverged);
    std::vector<TPinned> r = MeltResults();
    for (int k = 0; k < 2; ++k) {
        const TThSys& s = *ThSystems[static_cast<std::size_t>(k)];
        r.push_back({k == 0 ? "lower inclusions" : "upper inclusions", s.NmiMass});
        r.push_back({k == 0 ? "lower critical radius" : "upper critical radius", s.NmiCriticalRadius});
    }
    ExpectPinned(r, {
        {"lower T", 1913.15000000000000002L},
        {"lower metal mass", 100.409738234312787004L},
        {"lower slag mass", 4.92032466443621934122L},
        {"lower gas mass", 3.65694146436054979134L},
        {"lower ln metal/slag", 2.2723203498490283207L},
        {"lower ln metal/gas", 1.93450182929336472661L},
        {"lower slag potential", 2.97276475588160406694L},
        {"lower gas pressure", 0.999999999924081332868L},
        {"lower heat", -51404.6060615558199203L},
        {"lower basicity", 2.45563747892814299525L},
        {"lower [C]", 0.000286860708387058228892L},
        {"lower [O]", 0.000810303958438187555232L},
        {"lower [Mn]", 0.000519233630211276109235L},
        {"lower [S]", 0.000182553847218816752091L},
        {"lower (FeO)", 0.172406824794818858837L},
        {"lower d[C]/dO", -0.00639553698443445207531L},
        {"upper T", 1913.15000000000000002L},
        {"upper metal mass", 100.043875148965839349L},
        {"upper slag mass", 5.26309054569282945774L},
        {"upper gas mass", 3.97987040304640978731L},
        {"upper ln metal/slag", 2.16629846360820385457L},
        {"upper ln metal/gas", 1.84071841577328291063L},
        {"upper slag potential", 3.2935897587059549084L},
        {"upper gas pressure", 1.00000000009129595018L},
        {"upper heat", -58544.2652260393262367L},
        {"upper basicity", 1.97467274715908021224L},
        {"upper [C]", 0.000530604466182898349834L},
        {"upper [O]", 0.000399618979119906787686L},
        {"upper [Mn]", 0.00127444066278204839958L},
        {"upper [S]", 0.000268908064355525251573L},
        {"upper (FeO)", 0.0766678866059363634203L},
        {"upper d[C]/dO", -0.0109647108019992351698L},
        {"lower inclusions", 0.00351611091627799755098L},
        {"lower critical radius", 0L},
        {"upper inclusions", 0.0107448253913146532456L},
        {"upper critical radius", 0L},
    });
}

// The optimiser rounds its charge to kilograms, so the charge is held
// exactly; the systems are those of its last pass.
TEST_F(SampleMeltRegression, CheapestCharge)
{
    PrepareSystems();
    ASSERT_TRUE(BuildConstraintBlocks());
    CalcBusy = true;
    const int32_t status = Optimise(-1);
    CalcBusy = false;
    EXPECT_EQ(status, lpMet);
    EXPECT_EQ(SlpPass, 1);
    const std::vector<std::pair<int, long double>> charge{
        {2, 43.8880000000000000011L},
        {3, 40L},
        {5, 8.01300000000000000027L},
        {7, 5.95299999999999999989L},
        {10, 0.0829999999999999999998L},
        {15, 1.61100000000000000003L},
        {16, 0.702999999999999999997L},
        {18, 0.300000000000000000011L},
        {19, 1.76100000000000000001L},
        {20, 1.18699999999999999999L},
        {21, 40L},
    };
    std::size_t next = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        if (MaterialTable[j].Amount == 0)
            continue;
        ASSERT_LT(next, charge.size()) << "material " << j << " charged";
        EXPECT_EQ(j, charge[next].first);
        EXPECT_EQ(MaterialTable[j].Amount, charge[next].second) << "material " << j;
        ++next;
    }
    EXPECT_EQ(next, charge.size());
    ExpectPinned(MeltResults(), {
        {"lower T", 1913.15000000000000002L},
        {"lower metal mass", 100.41325434540083876L},
        {"lower slag mass", 4.92032466421752502162L},
        {"lower gas mass", 3.6569414644074703291L},
        {"lower ln metal/slag", 2.27232034988738282148L},
        {"lower ln metal/gas", 1.93450182928022687058L},
        {"lower slag potential", 2.9727647559490076245L},
        {"lower gas pressure", 0.999999999914032471765L},
        {"lower heat", -51404.6060610180749926L},
        {"lower basicity", 2.45563747893066302414L},
        {"lower [C]", 0.000286850672861479091242L},
        {"lower [O]", 0.000823861274482413641832L},
        {"lower [Mn]", 0.000524602344764592028127L},
        {"lower [S]", 0.000182581164304642102156L},
        {"lower (FeO)", 0.172406824758940445126L},
        {"lower d[C]/dO", -0.00639553698521690022697L},
        {"upper T", 1913.15000000000000002L},
        {"upper metal mass", 100.054559765201449686L},
        {"upper slag mass", 5.26315420475777701438L},
        {"upper gas mass", 3.97986695313716654109L},
        {"upper ln metal/slag", 2.16628979820868341815L},
        {"upper ln metal/gas", 1.8407180197550107655L},
        {"upper slag potential", 3.29353840268835108373L},
        {"upper gas pressure", 0.999999987811530687768L},
        {"upper heat", -58544.5762988983536701L},
        {"upper basicity", 1.97466831753649563631L},
        {"upper [C]", 0.000530497155586873360015L},
        {"upper [O]", 0.000444009814452509750894L},
        {"upper [Mn]", 0.00129503525069761309541L},
        {"upper [S]", 0.000269232006822893905514L},
        {"upper (FeO)", 0.076676894164588548056L},
        {"upper d[C]/dO", -0.0109636566647089543223L},
    });
}

} // namespace
} // namespace ferrolyt::test
