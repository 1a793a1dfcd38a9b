#include "development/Form14.h"

#include <QListWidget>

#include "development/GeneCollection.h"
#include "platform/QtText.h"
#include "platform/Twips.h"
#include "shell/GradientRect.h"

namespace development {

namespace {
constexpr int kKeyRole = Qt::UserRole;
}

Form14::Form14(QWidget* owner) : shell::FormWindow(owner, "Form14", QStringLiteral("Gene Collection"), 4320, 4680) {
    SetBackColor(0xE0E0E0);
    Genes = new QListWidget(this);
    Genes->setObjectName("Genes");
    Genes->setViewMode(QListView::ListMode);
    // Nothing in the list can be chosen or changed.
    Genes->setSelectionMode(QAbstractItemView::NoSelection);
    Genes->setFocusPolicy(Qt::NoFocus);
    platform::PlaceTwips(Genes, 120, 120, 4080, 4440);
    CloseOnEscape();
    Form_Load();
}

void Form14::Form_Load() {
    for (const GeneItem& gene : kGeneItems) {
        auto* item = new QListWidgetItem(platform::ToQString(gene.text), Genes);
        item->setData(kKeyRole, QByteArray(gene.key.data(), static_cast<qsizetype>(gene.key.size())));
    }
    shell::ApplyGradient(*this, 225, 0xFFFFFF, 0xE0E0E0);
}

std::optional<std::string> Form14::GeneText(std::string_view key) const {
    const QByteArray wanted(key.data(), static_cast<qsizetype>(key.size()));
    for (int row = 0; row < Genes->count(); ++row) {
        const QListWidgetItem* item = Genes->item(row);
        if (item->data(kKeyRole).toByteArray() == wanted) return platform::FromQString(item->text());
    }
    return std::nullopt;
}

}  // namespace development
