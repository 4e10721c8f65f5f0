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
    // table to derive others from) may reach the second one's results, at
    // the task temperature or with the heat balance.
    for (const uint8_t mode : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE("final temperature mode " + std::to_string(mode));
        Settings.FinalTempMode = mode;
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
}

TEST_F(SampleMeltRegression, MeltWithTheHeatBalance)
{
    Settings.FinalTempMode = 1;
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1727.05788796669397422L},
        {"lower metal mass", 100.344436648568181326L},
        {"lower slag mass", 4.98713025114663405278L},
        {"lower gas mass", 3.65895357431101873836L},
        {"lower ln metal/slag", 2.25970344379332858833L},
        {"lower ln metal/gas", 1.93405251298521787683L},
        {"lower slag potential", 3.32561068936066409193L},
        {"lower gas pressure", 0.999999999902624116005L},
        {"lower heat", -53470.9088165808988329L},
        {"lower basicity", 2.44775277176675224431L},
        {"lower [C]", 0.000469508866738413346448L},
        {"lower [O]", 0.000416068092872029883382L},
        {"lower [Mn]", 0.000160331307318917788076L},
        {"lower [S]", 0.00018160625349136584816L},
        {"lower (FeO)", 0.169984749200602426551L},
        {"lower d[C]/dO", -0.0105885402517321393537L},
        {"upper T", 1860.24627180976007557L},
        {"upper metal mass", 100.026172526745521944L},
        {"upper slag mass", 5.31198649600497379772L},
        {"upper gas mass", 3.95942190034589748949L},
        {"upper ln metal/slag", 2.15718200066582574815L},
        {"upper ln metal/gas", 1.84548058257795779906L},
        {"upper slag potential", 3.40587699795515865095L},
        {"upper gas pressure", 1.00000000009315940012L},
        {"upper heat", -59298.5091128862209757L},
        {"upper basicity", 1.96495917428458998237L},
        {"upper [C]", 0.000629528607529748201693L},
        {"upper [O]", 0.000358188128227477106929L},
        {"upper [Mn]", 0.00100847104498731437233L},
        {"upper [S]", 0.000263710892248841648697L},
        {"upper (FeO)", 0.0723010075235569208273L},
        {"upper d[C]/dO", -0.0131255326854008141579L},
    });
}

TEST_F(SampleMeltRegression, MeltWithTheSimplifiedHeatBalance)
{
    Settings.FinalTempMode = 2;
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1727.05788794585428414L},
        {"lower metal mass", 100.344436648502200578L},
        {"lower slag mass", 4.98713025121552191391L},
        {"lower gas mass", 3.6589535743081116326L},
        {"lower ln metal/slag", 2.25970344377672996742L},
        {"lower ln metal/gas", 1.93405251298994414395L},
        {"lower slag potential", 3.3256106893974448776L},
        {"lower gas pressure", 0.999999999910495590365L},
        {"lower heat", -53470.9088170796312447L},
        {"lower basicity", 2.44775277176643334121L},
        {"lower [C]", 0.000469508866765966214056L},
        {"lower [O]", 0.000416068092839301636684L},
        {"lower [Mn]", 0.000160331307280420883696L},
        {"lower [S]", 0.000181606253492459832385L},
        {"lower (FeO)", 0.169984749213438376085L},
        {"lower d[C]/dO", -0.0105885402523175787926L},
        {"upper T", 1860.24627182081317689L},
        {"upper metal mass", 100.026172526739355342L},
        {"upper slag mass", 5.31198649601657440708L},
        {"upper gas mass", 3.95942190034046348815L},
        {"upper ln metal/slag", 2.15718200066674600118L},
        {"upper ln metal/gas", 1.84548058257663205573L},
        {"upper slag potential", 3.40587699791419063096L},
        {"upper gas pressure", 1.00000000009004650617L},
        {"upper heat", -59298.5091127648323734L},
        {"upper basicity", 1.96495917428596974629L},
        {"upper [C]", 0.000629528607481980525187L},
        {"upper [O]", 0.000358188128257016265449L},
        {"upper [Mn]", 0.00100847104503708618183L},
        {"upper [S]", 0.000263710892252620289144L},
        {"upper (FeO)", 0.0723010075264440082537L},
        {"upper d[C]/dO", -0.0131255326844003868906L},
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
        {"lower T", 1757.76883532527355902L},
        {"lower metal mass", 100.195364577111637482L},
        {"lower slag mass", 5.18057710935716959986L},
        {"lower gas mass", 3.61457878755702704003L},
        {"lower ln metal/slag", 2.23042403240400885804L},
        {"lower ln metal/gas", 1.94381746182099433623L},
        {"lower slag potential", 3.59680819456216002965L},
        {"lower gas pressure", 0.999999999904342637218L},
        {"lower heat", -56045.665598193817587L},
        {"lower basicity", 2.44714204727634474326L},
        {"lower [C]", 0.000518129017266024558999L},
        {"lower [O]", 0.000392202800764713970428L},
        {"lower [Mn]", 0.000111542560563125749009L},
        {"lower [S]", 0.000183934634292150534491L},
        {"lower (FeO)", 0.201867915013622696541L},
        {"lower d[C]/dO", -0.0116367265143293627442L},
        {"upper T", 1894.46863897459713721L},
        {"upper metal mass", 99.9135238910268511509L},
        {"upper slag mass", 5.44343140256925149675L},
        {"upper gas mass", 3.94062562950029058998L},
        {"upper ln metal/slag", 2.14236348552325011219L},
        {"upper ln metal/gas", 1.84899824505442220255L},
        {"upper slag potential", 3.6645734526354944347L},
        {"upper gas pressure", 1.00000000008974054963L},
        {"upper heat", -62148.3165645970651276L},
        {"upper basicity", 1.95502418296541250777L},
        {"upper [C]", 0.000658462298126305829833L},
        {"upper [O]", 0.000353455186328556688869L},
        {"upper [Mn]", 0.000772472795840999091033L},
        {"upper [S]", 0.00027670586350326702997L},
        {"upper (FeO)", 0.104067576128040858442L},
        {"upper d[C]/dO", -0.0136557808757064976293L},
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
// exactly; the systems are those of its last pass. The stop request of the
// idle state ends the run after its first pass, whose charge no melt has
// checked: no answer.
TEST_F(SampleMeltRegression, CheapestCharge)
{
    PrepareSystems();
    ASSERT_TRUE(BuildConstraintBlocks());
    CalcBusy = true;
    const int32_t status = Optimise(-1);
    CalcBusy = false;
    EXPECT_EQ(status, lpNotMet);
    EXPECT_EQ(SlpPass, 1);
    const std::vector<std::pair<int, long double>> charge{
        {1, 8.979L},
        {2, 38.721L},
        {3, 40L},
        {5, 8.242L},
        {7, 1.709L},
        {15, 1.607L},
        {16, 0.653L},
        {18, 0.3L},
        {19, 1.853L},
        {20, 1L},
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
        {"lower metal mass", 100.413254345400838781L},
        {"lower slag mass", 4.92032466421752500731L},
        {"lower gas mass", 3.65694146440747033366L},
        {"lower ln metal/slag", 2.27232034988738282343L},
        {"lower ln metal/gas", 1.93450182928022686992L},
        {"lower slag potential", 2.9727647559490076284L},
        {"lower gas pressure", 0.999999999914032473066L},
        {"lower heat", -51404.6060610231726571L},
        {"lower basicity", 2.45563747893066302457L},
        {"lower [C]", 0.000286850672861479093916L},
        {"lower [O]", 0.000823861274482413634526L},
        {"lower [Mn]", 0.000524602344764592032415L},
        {"lower [S]", 0.000182581164304642101812L},
        {"lower (FeO)", 0.17240682475894044312L},
        {"lower d[C]/dO", -0.00639553698521690028753L},
        {"upper T", 1913.15000000000000002L},
        {"upper metal mass", 100.054559765201449673L},
        {"upper slag mass", 5.26315420475777701829L},
        {"upper gas mass", 3.97986695313716654066L},
        {"upper ln metal/slag", 2.16628979820868341729L},
        {"upper ln metal/gas", 1.84071801975501076593L},
        {"upper slag potential", 3.29353840268835108048L},
        {"upper gas pressure", 0.9999999878115306914L},
        {"upper heat", -58544.5762989070223377L},
        {"upper basicity", 1.97466831753649563598L},
        {"upper [C]", 0.000530497155586873358533L},
        {"upper [O]", 0.000444009814452509753383L},
        {"upper [Mn]", 0.001295035250697613088L},
        {"upper [S]", 0.000269232006822893906176L},
        {"upper (FeO)", 0.0766768941645885486252L},
        {"upper d[C]/dO", -0.0109636566647089542893L},
    });
}

} // namespace
} // namespace ferrolyt::test
