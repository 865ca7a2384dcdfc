#include "filter/QcStatements.h"

#include <cstring>

#include <openssl/asn1t.h>
#include <openssl/objects.h>
#include <openssl/safestack.h>

// QCStatement ::= SEQUENCE { statementId OBJECT IDENTIFIER, statementInfo ANY OPTIONAL }
// QCStatements ::= SEQUENCE OF QCStatement
// QcType ::= SEQUENCE OF OBJECT IDENTIFIER
// OpenSSL decodes the extension but offers no type for its content, so the
// three are declared here with its ASN.1 templates.
struct QC_STATEMENT {
    ASN1_OBJECT* statementId;
    ASN1_TYPE* statementInfo;
};
DEFINE_STACK_OF(QC_STATEMENT)

// The ASN.1 template macros are not C++ statements: the formatter leaves them alone.
// clang-format off
ASN1_SEQUENCE(QC_STATEMENT) = {
    ASN1_SIMPLE(QC_STATEMENT, statementId, ASN1_OBJECT),
    ASN1_OPT(QC_STATEMENT, statementInfo, ASN1_ANY),
} ASN1_SEQUENCE_END(QC_STATEMENT)

ASN1_ITEM_TEMPLATE(QC_STATEMENTS) =
    ASN1_EX_TEMPLATE_TYPE(ASN1_TFLG_SEQUENCE_OF, 0, QcStatements, QC_STATEMENT)
ASN1_ITEM_TEMPLATE_END(QC_STATEMENTS)

ASN1_ITEM_TEMPLATE(QC_TYPE) =
    ASN1_EX_TEMPLATE_TYPE(ASN1_TFLG_SEQUENCE_OF, 0, QcTypes, ASN1_OBJECT)
ASN1_ITEM_TEMPLATE_END(QC_TYPE)
    // clang-format on

    namespace nerolin
{
    namespace {

    // An item decoded with ASN1_item_d2i, released with ASN1_item_free.
    class DecodedItem {
    public:
        DecodedItem(const ASN1_ITEM* item, const unsigned char* der, long length) : item_(item)
        {
            value_ = ASN1_item_d2i(nullptr, &der, length, item_);
        }
        ~DecodedItem() { ASN1_item_free(value_, item_); }
        DecodedItem(const DecodedItem&) = delete;
        DecodedItem& operator=(const DecodedItem&) = delete;

        template <typename T>
        T* As() const
        {
            return reinterpret_cast<T*>(value_);
        }

    private:
        const ASN1_ITEM* item_;
        ASN1_VALUE* value_ = nullptr;
    };

    bool OidIs(const ASN1_OBJECT* object, const char* dotted)
    {
        // Always the numeric form: a name that OpenSSL may know must not matter.
        char text[256];
        const int length = OBJ_obj2txt(text, sizeof text, object, 1);
        return length > 0 && static_cast<std::size_t>(length) < sizeof text && std::strcmp(text, dotted) == 0;
    }

    QcType TypeOf(const ASN1_OBJECT* object)
    {
        if (OidIs(object, "0.4.0.1862.1.6.1")) return QcType::ElectronicSignature;
        if (OidIs(object, "0.4.0.1862.1.6.2")) return QcType::ElectronicSeal;
        if (OidIs(object, "0.4.0.1862.1.6.3")) return QcType::WebsiteAuthentication;
        return QcType::Unknown;
    }

    void ReadQcTypes(const ASN1_TYPE* info, QcFindings& findings)
    {
        if (!info || info->type != V_ASN1_SEQUENCE || !info->value.sequence) return;
        // The ANY keeps the whole encoding of the SEQUENCE, tag and length included.
        const ASN1_STRING* encoding = info->value.sequence;
        DecodedItem types(ASN1_ITEM_rptr(QC_TYPE), encoding->data, encoding->length);
        const auto* list = types.As<STACK_OF(ASN1_OBJECT)>();
        if (!list) return;
        for (int i = 0; i < sk_ASN1_OBJECT_num(list); ++i) findings.qcType = TypeOf(sk_ASN1_OBJECT_value(list, i));
    }

    }  // namespace

    QcFindings ReadQcStatements(const X509* certificate)
    {
        QcFindings findings;
        if (!certificate) return findings;
        const int index = X509_get_ext_by_NID(certificate, NID_qcStatements, -1);
        if (index < 0) return findings;
        findings.hasQCStatement = true;

        const ASN1_OCTET_STRING* value = X509_EXTENSION_get_data(X509_get_ext(certificate, index));
        if (!value) return findings;
        DecodedItem statements(ASN1_ITEM_rptr(QC_STATEMENTS), value->data, value->length);
        const auto* list = statements.As<STACK_OF(QC_STATEMENT)>();
        if (!list) return findings;

        for (int i = 0; i < sk_QC_STATEMENT_num(list); ++i) {
            const QC_STATEMENT* statement = sk_QC_STATEMENT_value(list, i);
            if (OidIs(statement->statementId, "0.4.0.1862.1.1"))
                findings.hasQCCompliance = true;
            else if (OidIs(statement->statementId, "0.4.0.1862.1.4"))
                findings.hasQCQSCD = true;
            else if (OidIs(statement->statementId, "0.4.0.1862.1.6"))
                ReadQcTypes(statement->statementInfo, findings);
        }
        return findings;
    }

}  // namespace nerolin
