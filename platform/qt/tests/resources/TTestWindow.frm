// The test window: a bit of every control.
inherited TestWindow: TTestWindow
  Caption = 'Test &window'
  ClientHeight = 200
  Color = clAqua
  Position = poScreenCenter
  BorderStyle = bsSingle
  FormStyle = fsStayOnTop
  OnCreate = FormCreate
  inherited Label1: TLabel
    Left = 8
    Top = 8
    Width = 200
    Height = 16
    Caption = 'A&B'
    Font.Color = clRed
    Font.Style = [fsBold]
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 500
    OnTimer = Timer1Timer
  end
  object Check1: TCheckBox
    Left = 8
    Top = 30
    Width = 120
    Height = 17
    Caption = 'Check'
    Checked = True
    OnClick = Check1Click
  end
  object Group1: TGroupBox
    Left = 8
    Top = 60
    Width = 200
    Height = 100
    Caption = 'Data Source'
    object Combo1: TComboBox
      Left = 8
      Top = 20
      Width = 150
      Height = 21
      Style = csDropDownList
      Items.Strings = (
        'Disabled'
        'COM1')
      ItemIndex = 1
    end
  end
  object Memo1: TMemo
    Left = 220
    Top = 8
    Width = 70
    Height = 100
    Lines.Strings = (
      'first'
      'second')
    ReadOnly = True
    Visible = False
  end
end
