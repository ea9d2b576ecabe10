#include "users/TForm3.h"

#include "kit/Centred.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "kit/QueryModel.h"
#include "store/AppError.h"
#include "store/Permission.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>

namespace {
const QString kListSql = QStringLiteral("select 用户名,密码,权限 from dd_user");
const QString kByNameSql = QStringLiteral("select 用户名,密码,权限 from dd_user where 用户名=:a");
const QString kDatabaseFailed = QStringLiteral("操作失败，请检测数据库连接是否正常");
const QString kNoSuchUser = QStringLiteral("用户不存在，请在列表中选择用户");
const QString kLastAdministrator = QStringLiteral("管理员用户必须保留一个");

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(left, top + 3, 56, 17);
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, int left, int top)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(left, top, 150, 23);
    return edit;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int left)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, 288, 80, 28);
    // Enter in a field must not press a button by itself.
    button->setAutoDefault(false);
    return button;
}
} // namespace

TForm3::TForm3(Connection& connection)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("用户管理"));
    setModal(true);
    setFixedSize(480, 332);
    ADOQuery1 = new Query(connection, this);
    DataSource1 = new QueryModel(*ADOQuery1, this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));
    createControls();
    relist(kListSql + QLatin1Char(' '));
}

void TForm3::createControls()
{
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(12, 12, 456, 190);
    // Changes go through the buttons and their checks only.
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setModel(DataSource1);
    DBGrid1->setSelectionModel(DataSource1->selection());
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->verticalHeader()->setDefaultSectionSize(22);

    StaticText2 = makeLabel(this, "StaticText2", QStringLiteral("用户名"), 12, 214);
    Edit1 = makeEdit(this, "Edit1", 72, 214);
    StaticText1 = makeLabel(this, "StaticText1", QStringLiteral("密    码"), 250, 214);
    Edit2 = makeEdit(this, "Edit2", 310, 214);
    StaticText3 = makeLabel(this, "StaticText3", QStringLiteral("权    限"), 12, 248);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems({Permission::kAdministrator, Permission::kOrdinaryUser});
    ComboBox1->setGeometry(72, 248, 150, 23);

    BitBtn1 = makeButton(this, "BitBtn1", QStringLiteral("添    加"), 12);
    BitBtn2 = makeButton(this, "BitBtn2", QStringLiteral("保    存"), 106);
    BitBtn3 = makeButton(this, "BitBtn3", QStringLiteral("删    除"), 200);
    BitBtn4 = makeButton(this, "BitBtn4", QStringLiteral("修    改"), 294);
    BitBtn5 = makeButton(this, "BitBtn5", QStringLiteral("取    消"), 388);

    connect(DBGrid1, &QTableView::clicked, this, &TForm3::DBGrid1CellClick);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm3::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm3::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TForm3::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TForm3::BitBtn5Click);
}

void TForm3::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        centreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void TForm3::relist(const QString& statement)
{
    ADOQuery1->close();
    ADOQuery1->setSql(statement);
    ADOQuery1->open();
}

void TForm3::clearFields()
{
    Edit1->clear();
    Edit2->clear();
    ComboBox1->setCurrentIndex(-1);
}

void TForm3::setControls(bool fields, bool grid, bool add, bool save, bool remove, bool modify)
{
    Edit1->setEnabled(fields);
    Edit2->setEnabled(fields);
    ComboBox1->setEnabled(fields);
    DBGrid1->setEnabled(grid);
    BitBtn1->setEnabled(add);
    BitBtn2->setEnabled(save);
    BitBtn3->setEnabled(remove);
    BitBtn4->setEnabled(modify);
    // Cancelling is always possible.
}

void TForm3::FormShow()
{
    guarded([this]() {
        clearFields();
        setControls(false, true, true, false, false, false);
        relist(kListSql + QLatin1Char(' '));
    });
}

void TForm3::DBGrid1CellClick(const QModelIndex& index)
{
    const auto cell = [this, &index](int column) {
        return DataSource1->index(index.row(), column).data().toString();
    };
    Edit1->setText(cell(0));
    Edit2->setText(cell(1));
    // A stored permission that is not one of the two offered shows no choice.
    ComboBox1->setCurrentIndex(ComboBox1->findText(cell(2)));
    setControls(false, true, true, false, true, true);
}

void TForm3::BitBtn1Click()
{
    clearFields();
    setControls(true, false, false, true, false, false);
    Edit1->setFocus();
    m_adding = true;
}

void TForm3::BitBtn4Click()
{
    setControls(true, false, false, true, false, false);
    m_adding = false;
    m_rememberedName = Text::trimmed(Edit1->text());
    m_rememberedPassword = Text::trimmed(Edit2->text());
}

void TForm3::BitBtn5Click()
{
    clearFields();
    setControls(true, true, true, false, false, false);
}

bool TForm3::fieldsComplete()
{
    const struct
    {
        QWidget* field;
        QString text;
        const char16_t* message;
    } required[] = {
        {Edit1, Edit1->text(), u"用户名不能为空"},
        {Edit2, Edit2->text(), u"密码不能为空"},
        {ComboBox1, ComboBox1->currentText(), u"请选择管理权限"},
    };
    for (const auto& check : required) {
        if (Text::trimmed(check.text).isEmpty()) {
            MessageBox::show(QString::fromUtf16(check.message), this);
            check.field->setFocus();
            return false;
        }
    }
    return true;
}

void TForm3::BitBtn2Click()
{
    guarded([this]() {
        if (!fieldsComplete())
            return;
        if (m_adding) {
            const QString name = Text::trimmed(Edit1->text());
            try {
                ADOQuery1->close();
                ADOQuery1->setSql(kByNameSql);
                ADOQuery1->setText(QStringLiteral("a"), name);
                ADOQuery1->open();
            } catch (const AppError&) {
                MessageBox::show(kDatabaseFailed, this);
                return;
            }
            if (ADOQuery1->recordCount() >= 1) {
                MessageBox::show(QStringLiteral("用户已经存在，请重新输入用户名"), this);
                relist(kListSql);
                Edit1->setFocus();
                return;
            }
            saveNewAccount();
        } else {
            saveChangedAccount();
        }
        relist(kListSql);
        clearFields();
        setControls(false, true, true, false, false, false);
    });
}

void TForm3::saveNewAccount()
{
    ADOQuery1->close();
    ADOQuery1->setSql(
        QStringLiteral("Insert into dd_user ([用户名],[密码],[权限])\nvalues(:用户名,:密码,:权限 )"));
    ADOQuery1->setText(QStringLiteral("用户名"), Text::trimmed(Edit1->text()));
    ADOQuery1->setText(QStringLiteral("密码"), Text::trimmed(Edit2->text()));
    ADOQuery1->setText(QStringLiteral("权限"), Text::trimmed(ComboBox1->currentText()));
    try {
        ADOQuery1->execSql();
        MessageBox::show(QStringLiteral("添加成功"), this);
    } catch (const AppError&) {
        MessageBox::show(QStringLiteral("添加失败"), this);
    }
}

void TForm3::openRememberedAccount()
{
    ADOQuery1->close();
    ADOQuery1->setSql(QStringLiteral("select * from dd_user where (用户名=:user1)and(密码=:password1)"));
    ADOQuery1->setText(QStringLiteral("user1"), m_rememberedName);
    ADOQuery1->setText(QStringLiteral("password1"), m_rememberedPassword);
    ADOQuery1->open();
}

void TForm3::saveChangedAccount()
{
    openRememberedAccount();
    // Two accounts with the same name and password cannot be told apart.
    if (ADOQuery1->recordCount() != 1) {
        MessageBox::show(QStringLiteral("修改失败"), this);
        return;
    }
    // Taking the permission away loses the account's administrator as surely
    // as deleting it would, so the deletion rule applies.
    if (Text::trimmed(ComboBox1->currentText()) != Permission::kAdministrator) {
        if (lastAdministratorWouldGo()) {
            MessageBox::show(kLastAdministrator, this);
            return;
        }
        openRememberedAccount();
    }
    ADOQuery1->first();
    ADOQuery1->edit();
    ADOQuery1->setField(QStringLiteral("用户名"), Text::trimmed(Edit1->text()));
    ADOQuery1->setField(QStringLiteral("密码"), Text::trimmed(Edit2->text()));
    ADOQuery1->setField(QStringLiteral("权限"), Text::trimmed(ComboBox1->currentText()));
    ADOQuery1->post();
    ADOQuery1->close();
    MessageBox::show(QStringLiteral("修改成功"), this);
}

// Works on the accounts of the name being deleted, as the user query holds
// them. Deleting removes every account of that name, and a renamed account
// may share its name with the only administrator: the rule counts what the
// deletion would really leave, whatever the permission field shows.
bool TForm3::lastAdministratorWouldGo()
{
    int named = 0;
    for (ADOQuery1->first(); !ADOQuery1->eof(); ADOQuery1->next()) {
        if (ADOQuery1->fieldText(QStringLiteral("权限")) == Permission::kAdministrator)
            ++named;
    }
    if (named == 0)
        return false;
    ADOQuery1->close();
    ADOQuery1->setSql(QStringLiteral("select 用户名,密码,权限 from dd_user where 权限=:a"));
    ADOQuery1->setText(QStringLiteral("a"), Permission::kAdministrator);
    ADOQuery1->open();
    return ADOQuery1->recordCount() - named < 1;
}

void TForm3::BitBtn3Click()
{
    guarded([this]() {
        const QString name = Text::trimmed(Edit1->text());
        if (name.isEmpty()) {
            MessageBox::show(kNoSuchUser, this);
            return;
        }
        bool found = false;
        bool refused = false;
        try {
            ADOQuery1->close();
            ADOQuery1->setSql(kByNameSql);
            ADOQuery1->setText(QStringLiteral("a"), name);
            ADOQuery1->open();
            found = ADOQuery1->recordCount() > 0;
            refused = found && lastAdministratorWouldGo();
        } catch (const AppError&) {
            MessageBox::show(kDatabaseFailed, this);
            return;
        }
        if (!found || refused) {
            MessageBox::show(found ? kLastAdministrator : kNoSuchUser, this);
            relist(kListSql);
            return;
        }
        ADOQuery1->close();
        ADOQuery1->setSql(QStringLiteral("Delete from dd_user where 用户名=:a"));
        ADOQuery1->setText(QStringLiteral("a"), name);
        try {
            ADOQuery1->execSql();
            MessageBox::show(QStringLiteral("用户删除成功"), this);
        } catch (const AppError&) {
            MessageBox::show(QStringLiteral("用户删除失败"), this);
        }
        relist(kListSql);
    });
}
