#include "app/database/db_text.h"
#include "app/database/model_sync.h"
#include "platform/fixedtext.h"

#include <gtest/gtest.h>

namespace database {
namespace {

TEST(PluralEndingsTest, ModelCountsTakeTheirEndings) {
    EXPECT_EQ(ModelsAddedText(1), QStringLiteral("1 модель добавлена"));
    EXPECT_EQ(ModelsAddedText(2), QStringLiteral("2 модели добавлены"));
    EXPECT_EQ(ModelsAddedText(4), QStringLiteral("4 модели добавлены"));
    EXPECT_EQ(ModelsAddedText(5), QStringLiteral("5 моделей добавлено"));
    EXPECT_EQ(ModelsAddedText(11), QStringLiteral("11 моделей добавлено"));
    EXPECT_EQ(ModelsAddedText(12), QStringLiteral("12 моделей добавлено"));
    EXPECT_EQ(ModelsAddedText(21), QStringLiteral("21 модель добавлена"));
    EXPECT_EQ(ModelsAddedText(111), QStringLiteral("111 моделей добавлено"));
    EXPECT_EQ(ModelsRemovedText(1), QStringLiteral("1 модель удалена"));
    EXPECT_EQ(ModelsRemovedText(22), QStringLiteral("22 модели удалены"));
    EXPECT_EQ(ModelsRemovedText(112), QStringLiteral("112 моделей удалено"));
    EXPECT_EQ(ModelParamsUpdatedText(1), QStringLiteral("Обновлены параметры 1 модели"));
    EXPECT_EQ(ModelParamsUpdatedText(2), QStringLiteral("Обновлены параметры 2 моделей"));
    EXPECT_EQ(ModelParamsUpdatedText(11), QStringLiteral("Обновлены параметры 11 моделей"));
    EXPECT_EQ(ModelSamplesUpdatedText(21), QStringLiteral("Обновлены образцы 21 модели"));
    EXPECT_EQ(ModelSamplesUpdatedText(5), QStringLiteral("Обновлены образцы 5 моделей"));
}

TEST(ColumnTextTest, CutsToCapacityWithoutSplittingPairs) {
    char16_t field[16];
    std::fill(std::begin(field), std::end(field), u'#');
    EXPECT_TRUE(CopyColumnText(field, QStringLiteral("short"), "Op", "ALIAS", 1));
    EXPECT_EQ(platform::FromFixed(field), QStringLiteral("short"));
    EXPECT_EQ(field[15], u'\0');

    EXPECT_FALSE(CopyColumnText(field, QString(16, QLatin1Char('x')), "Op", "ALIAS", 1));
    EXPECT_EQ(platform::FromFixed(field), QString(15, QLatin1Char('x')));
    EXPECT_FALSE(CopyColumnText(field, QString(14, QLatin1Char('y')) + QStringLiteral("😀"), "Op", "ALIAS", 1));
    EXPECT_EQ(platform::FromFixed(field), QString(14, QLatin1Char('y')));
    EXPECT_TRUE(CopyColumnText(field, QString(13, QLatin1Char('z')) + QStringLiteral("😀"), "Op", "ALIAS", 1));
    EXPECT_EQ(platform::FromFixed(field).size(), 15);
}

}  // namespace
}  // namespace database
