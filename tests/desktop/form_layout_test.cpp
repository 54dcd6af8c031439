#include "desktop/form_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Four units a character, like an average letter of the dialog font.
int FourPerCharacter(const std::string& text) {
  return static_cast<int>(text.size()) * 4;
}

FormRow Field(int id, const std::string& label) {
  return {id, FormRow::Kind::Field, label, ""};
}

FormRow Text(const std::string& label) {
  return {0, FormRow::Kind::Text, label, ""};
}

TEST(FormLayout, OneFieldFormIsAsWideAsAFieldRowWithCentredButtons) {
  FormDescription form;
  form.rows = {Field(667, "IP to add:")};
  FormLayout layout = LayOutForm(form, FourPerCharacter);

  ASSERT_EQ(layout.rows.size(), 1u);
  const FormRowLayout& row = layout.rows[0];
  EXPECT_EQ(row.field.width, 128);
  EXPECT_EQ(row.field.height, 14);
  EXPECT_EQ(row.label.x, 7);
  EXPECT_LT(row.label.Right(), row.field.x);
  // The row counts as 192 units; margins on both sides.
  EXPECT_EQ(row.field.Right() - row.label.x, 192);
  EXPECT_EQ(layout.width, 192 + 2 * 7);
  // The label sits level with the middle of its box.
  EXPECT_EQ(row.label.y + row.label.height / 2, row.field.y + row.field.height / 2);

  EXPECT_EQ(layout.okButton.width, 50);
  EXPECT_EQ(layout.okButton.height, 14);
  EXPECT_EQ(layout.cancelButton.width, 50);
  EXPECT_EQ(layout.okButton.y, layout.cancelButton.y);
  EXPECT_GT(layout.okButton.y, row.field.Bottom());
  EXPECT_LT(layout.okButton.Right(), layout.cancelButton.x);
  EXPECT_EQ(layout.okButton.x, layout.width - layout.cancelButton.Right());
  EXPECT_EQ(layout.height, layout.okButton.Bottom() + 7);
}

TEST(FormLayout, RowsStackHalfACharacterApartAndWidestRowSetsTheWidth) {
  FormDescription form;
  form.buttons = FormDescription::Buttons::OkOnly;
  const std::string wide(60, 'x');  // 240 units, wider than a field row
  form.rows = {Text("Short"), Field(1, "A:"), Text(wide), Field(2, "B:")};
  FormLayout layout = LayOutForm(form, FourPerCharacter);

  ASSERT_EQ(layout.rows.size(), 4u);
  EXPECT_EQ(layout.rows[0].label.y, 7);
  EXPECT_EQ(layout.rows[1].field.y, layout.rows[0].label.Bottom() + 4);
  EXPECT_EQ(layout.rows[2].label.y, layout.rows[1].field.Bottom() + 4);
  EXPECT_EQ(layout.rows[3].field.y, layout.rows[2].label.Bottom() + 4);
  EXPECT_EQ(layout.width, 240 + 2 * 7);

  // Text lines are centred; fields share one column.
  EXPECT_EQ(layout.rows[0].label.width, 20);
  EXPECT_EQ(layout.rows[0].label.x, (layout.width - 20) / 2);
  EXPECT_EQ(layout.rows[2].label.x, 7);
  EXPECT_EQ(layout.rows[1].field.x, layout.rows[3].field.x);
  EXPECT_EQ(layout.rows[0].field.width, 0);

  // OK alone, centred, and no Cancel.
  EXPECT_EQ(layout.okButton.x, (layout.width - 50) / 2);
  EXPECT_EQ(layout.cancelButton.width, 0);
  EXPECT_GT(layout.okButton.y, layout.rows[3].field.Bottom());
}

TEST(FormLayout, LongLabelPushesTheFieldRightInsteadOfOverlapping) {
  FormDescription form;
  form.rows = {Field(1, std::string(30, 'L')), Field(2, "B:")};
  FormLayout layout = LayOutForm(form, FourPerCharacter);
  EXPECT_GE(layout.rows[0].field.x, layout.rows[0].label.x + 120);
  EXPECT_EQ(layout.rows[1].field.x, layout.rows[0].field.x);
  EXPECT_EQ(layout.width, layout.rows[0].field.Right() + 7);
}

}  // namespace
