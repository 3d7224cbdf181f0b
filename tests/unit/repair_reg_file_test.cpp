// The backups of registry values, as the registry editor imports them.
#include "repair/reg_file.h"

#include <gtest/gtest.h>

namespace qm::repair {
namespace {

TEST(RegFile, NamesEachTypeAsTheEditorWritesIt) {
    const std::string key = "SOFTWARE\\Apache Software Foundation\\Procrun 2.0\\Tomcat9\\Parameters\\Java";
    const std::string text = RegFileText({
        {key, RegistryView::Wow32, "Jvm", StringValue("C:\\Program Files\\\"x\"\\jvm.dll")},
        {key, RegistryView::Wow32, "JvmMx", DwordValue(2048)},
        {key, RegistryView::Wow32, "Options", MultiStringValue({"-Da", "-Xb"})},
        {key, RegistryView::Wow32, "Classpath", std::nullopt},
        {key, RegistryView::Native, "Path", StringValue("%J%", kRegistryExpandString)},
    });
    EXPECT_EQ(text,
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Apache Software Foundation\\Procrun 2.0\\Tomcat9\\"
              "Parameters\\Java]\r\n"
              "\"Jvm\"=\"C:\\\\Program Files\\\\\\\"x\\\"\\\\jvm.dll\"\r\n"
              "\"JvmMx\"=dword:00000800\r\n"
              "\"Options\"=hex(7):2d,00,44,00,61,00,00,00,2d,00,58,00,62,00,00,00,00,00\r\n"
              "\"Classpath\"=-\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Apache Software Foundation\\Procrun 2.0\\Tomcat9\\Parameters\\Java]\r\n"
              "\"Path\"=hex(2):25,00,4a,00,25,00,00,00\r\n"
              "\r\n");
}

TEST(RegFile, IsUtf16WithAByteOrderMark) {
    EXPECT_EQ(RegFileBytes("W\xe4\xb8\xad"), std::string("\xFF\xFEW\x00\x2D\x4E", 6));
}

}  // namespace
}  // namespace qm::repair
