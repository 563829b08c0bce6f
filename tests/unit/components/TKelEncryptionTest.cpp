#include "FixedRandom.h"
#include "components/TKelEncryption.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

TEST(TKelEncryption, Placeholder) {
    FixedRandom random{0x5A};
    TKelEncryption kel(random);
    kel.SetInput(QStringLiteral("a"));
    kel.Apply();
    EXPECT_EQ(kel.Output().size(), 4);
}
